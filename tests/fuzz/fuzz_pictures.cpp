#include "FuzzSupport.h"
#include "data/DataControl.h"
#include "data/ItemPictures.h"

#include <QDir>

namespace {
// The listing's picture size, in twips.
constexpr qint32 kListingPictureSize = 1300;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    veskfuzz::startApplication();
    return 0;
}

// The input is the bytes of a picture file, loaded as the listing loads one.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ConnectionConfig config;
    static DataControl adoGetPic(QStringLiteral("adoGetPic"), QString(), 1, QString(), &config);
    static const QString pictureServer;
    static ItemPictures pictures(adoGetPic, pictureServer);
    static const QString path = QDir(veskfuzz::scratchDir()).filePath("picture.jpg");

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
