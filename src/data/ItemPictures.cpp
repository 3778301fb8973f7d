#include "data/ItemPictures.h"

#include "data/DataControl.h"
#include "data/DataError.h"
#include "data/FileRoutines.h"
#include "data/PictureScaling.h"
#include "data/SkippableStep.h"
#include "sqlconv/ConvertSQL.h"

using namespace PictureScaling;

namespace {
const QString kJpg = QStringLiteral(".jpg");

// A text column of the current row; empty for no row, no such column or NULL.
// The lookup's reading steps skip their failures, so this one never throws.
QString textField(RecordSet& records, const QString& column)
{
    QString text;
    runSkippable([&] {
        if (records.RecordCount() == 0 || !records.hasField(column))
            return;
        if (records.atEnd())
            records.MoveFirst();
        const QVariant value = records.Fields(column);
        text = value.isNull() ? QString() : value.toString();
    });
    return text;
}
} // namespace

ItemPictures::ItemPictures(DataControl& adoGetPic, const QString& pictureServer)
    : m_adoGetPic(adoGetPic), m_pictureServer(pictureServer),
      m_pipeline(std::make_unique<ThumbnailPipeline>())
{
}

ItemPictures::~ItemPictures() = default;

void ItemPictures::setTwipsPerPixel(double twipsX, double twipsY)
{
    m_pipeline->setTwipsPerPixel(twipsX, twipsY);
}

double ItemPictures::twipsPerPixelX() const
{
    return m_pipeline->settings().twipsX;
}
double ItemPictures::twipsPerPixelY() const
{
    return m_pipeline->settings().twipsY;
}

void ItemPictures::setBackground(const QColor& color)
{
    m_pipeline->setBackground(color);
}

bool ItemPictures::findPictureFile(qint32 itemId, QString& path)
{
    path.clear();
    m_adoGetPic.CommandType = DataControl::kQueryText;
    m_adoGetPic.RecordSource =
        QStringLiteral("SELECT * FROM item WHERE internalitemnumber=") + QString::number(itemId);
    m_adoGetPic.RecordSource = ConvertSQL(m_adoGetPic.RecordSource);
    m_adoGetPic.Refresh();

    RecordSet& records = m_adoGetPic.Recordset();
    const QString pictureName = textField(records, QStringLiteral("Item_PictureName"));
    const QString partNumber = textField(records, QStringLiteral("item_partnumber"));
    const QString supplierNumber = textField(records, QStringLiteral("SupplierItemNumber"));

    // No separator is added: PictureServer carries its own. A candidate without a
    // name would be the folder itself or a file called ".jpg" in it, never the
    // item's picture, so it is not tried; nor is a name that leads out of the
    // picture folder.
    const QString server = m_pictureServer;
    const std::pair<const QString*, QString> candidates[] = {
        {&pictureName, server + pictureName},
        {&pictureName, server + pictureName + kJpg},
        {&partNumber, server + partNumber + kJpg},
        {&supplierNumber, server + supplierNumber + kJpg},
    };
    for (const auto& [name, candidate] : candidates) {
        if (!name->isEmpty() && isBareFileName(*name) && FileExists(candidate)) {
            path = candidate;
            return true;
        }
    }
    return false;
}

void ItemPictures::clearImage3()
{
    Image3 = QImage();
    m_image3Stretch = false;
}

void ItemPictures::loadImage3(const QString& path, qint32 PicSize)
{
    m_loaded = path.isEmpty() ? Thumbnail() : m_pipeline->thumbnail(path, PicSize);
    Image3 = m_loaded.loaded ? m_loaded.image : QImage();
    m_foundPath = path;
}

void ItemPictures::sizeImage3(qint32 PicSize)
{
    // A loaded picture gives the holder its natural size; otherwise it keeps the last one.
    if (m_loaded.loaded)
        m_image3Size = QSizeF(m_loaded.pictureSize.width() * twipsPerPixelX(),
                              m_loaded.pictureSize.height() * twipsPerPixelY());
    m_image3Size = fitHolder(m_image3Size, PicSize);
    m_image3Position = QPointF(6000, 500);
    m_image3Stretch = true;
}

void ItemPictures::loadPicture1()
{
    Picture1 = QImage();
    Picture2 = QImage();
    if (!m_loaded.loaded)
        return;
    Picture1 = m_loaded.image;
    m_picture1Size = QSizeF(m_loaded.pictureSize.width() * twipsPerPixelX(),
                            m_loaded.pictureSize.height() * twipsPerPixelY());
}

void ItemPictures::PaintScaledPicture(qint32 maxWidth, qint32 maxHeight)
{
    const PaintPlan plan = planPaint(maxWidth, maxHeight, m_picture1Size.width(),
                                     m_picture1Size.height(), twipsPerPixelX(), twipsPerPixelY());
    m_canvasSize = plan.canvas;
    // The copy was painted for this size when the file was loaded.
    Picture2 = Image3.isNull() ? QImage() : m_loaded.image;
}

void ItemPictures::GetPictureByItemID(qint32 ItemID, qint32 PicSize, bool& FoundThisImage)
{
    QString path;
    const bool found = findPictureFile(ItemID, path);
    clearImage3();
    loadImage3(path, PicSize);
    FoundThisImage = found;
    sizeImage3(PicSize);
    loadPicture1();
    PaintScaledPicture(PicSize, PicSize);
}

void ItemPictures::GetPicture(const QString& PictureServer, const QString& SKU, qint32 PicSize,
                              bool& Found)
{
    clearImage3();
    const QString candidate = PictureServer + SKU + kJpg;
    Found = isBareFileName(SKU) && FileExists(candidate);
    loadImage3(Found ? candidate : QString(), PicSize);
    sizeImage3(PicSize);
    loadPicture1();
    PaintScaledPicture(PicSize, PicSize);
}

void ItemPictures::GetPictureWithDirectFileName(const QString& ImageFileName, qint32 PicSize)
{
    clearImage3();
    Picture2 = QImage();
    if (!FileExists(ImageFileName))
        return;
    loadImage3(ImageFileName, PicSize);
    // An unreadable file ends the routine here, leaving Picture2 cleared.
    if (!m_loaded.loaded)
        return;
    sizeImage3(PicSize);
    loadPicture1();
    PaintScaledPicture(PicSize, PicSize);
}
