#include "FuzzSupport.h"
#include "data/DataControl.h"
#include "data/ItemPictures.h"

#include <QDir>
#include <QImageReader>

namespace {
// The picture loader of the listing, without a picture database; made once.
struct Loader
{
    // Below a 12 MP photograph in full: a few kilobytes of input that declare a
    // huge picture are refused at once instead of costing a giant buffer each.
    Loader() { QImageReader::setAllocationLimit(16); }
    ConnectionConfig config;
    DataControl adoGetPic{QStringLiteral("adoGetPic"), QString(), DataControl::kQueryText,
                          QString(), &config};
    const QString pictureServer;
    ItemPictures pictures{adoGetPic, pictureServer};
    const QString path = QDir(veskfuzz::scratchDir()).filePath("picture.jpg");
};

Loader& loader()
{
    static Loader instance;
    return instance;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    veskfuzz::startApplication();
    loader();
    return 0;
}

// The input is the bytes of a picture file, loaded as the listing loads one.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ItemPictures& pictures = loader().pictures;
    const QString& path = loader().path;

    veskfuzz::writeFile(path, veskfuzz::bytes(data, size));
    // Files written within one clock tick can share size and time: read each anew.
    pictures.pipeline().clearCache();
    pictures.GetPictureWithDirectFileName(path, 1300); // the listing's size, in twips
    veskfuzz::check(!pictures.pictureSize().isValid() || !pictures.pictureSize().isEmpty(),
                    "a loaded picture has pixels");
    veskfuzz::check(pictures.Picture2.isNull() ||
                        pictures.Picture2.format() == QImage::Format_RGB32,
                    "the painted copy is opaque");
    return 0;
}
