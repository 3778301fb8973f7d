#include "FuzzSupport.h"
#include "data/DataControl.h"
#include "data/ItemPictures.h"

#include <QDir>
#include <QImageReader>

namespace {
// The listing's picture size, in twips.
constexpr qint32 kListingPictureSize = 1300;
// Below a 12 MP photograph in full: a few kilobytes of input that declare a
// huge picture are refused at once instead of costing a giant buffer each.
constexpr int kDecodeLimitMb = 16;

// The picture loader of the listing, without a picture database; made once.
struct Loader
{
    Loader() { QImageReader::setAllocationLimit(kDecodeLimitMb); }
    ConnectionConfig config;
    DataControl adoGetPic{QStringLiteral("adoGetPic"), QString(), 1, QString(), &config};
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
    pictures.GetPictureWithDirectFileName(path, kListingPictureSize);
    if (pictures.pictureSize().isValid())
        veskfuzz::check(!pictures.pictureSize().isEmpty(), "a loaded picture has pixels");
    const QImage copy = pictures.Picture2;
    veskfuzz::check(copy.isNull() || copy.format() == QImage::Format_RGB32,
                    "the painted copy is opaque");
    return 0;
}
