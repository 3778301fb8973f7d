#pragma once

#include "data/ThumbnailPipeline.h"

#include <QImage>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <memory>

class DataControl;

// Finds an item's picture file under the picture folder, loads it and paints a
// small scaled copy into Picture2.
//
// The three image values never hold a full-size picture, since the listing asks
// for one per row:
//  - Picture2 is the painted copy only: the picture smoothly scaled to the copy's
//    size (new width x new height twips in pixels, 87 x 65 for a 4:3 picture at
//    PicSize 1300 and 15 twips per pixel), clipped to the canvas, opaque. It is
//    null when nothing was painted (no file, or a file that is no readable
//    picture). The rest of the canvas would be plain background; its size is
//    canvasSize().
//  - Image3 and Picture1 hold the loaded picture as it is shown (the same pixels);
//    the picture's own size is in pictureSize() and picture1Size().
class ItemPictures
{
public:
    // pictureServer is the helper's live PictureServer field.
    ItemPictures(DataControl& adoGetPic, const QString& pictureServer);
    ~ItemPictures();
    ItemPictures(const ItemPictures&) = delete;
    ItemPictures& operator=(const ItemPictures&) = delete;

    QImage Image3;
    QImage Picture1;
    QImage Picture2;

    // Throws DataError when the item lookup fails.
    void GetPictureByItemID(qint32 ItemID, qint32 PicSize, bool& FoundThisImage);
    void GetPicture(const QString& PictureServer, const QString& SKU, qint32 PicSize, bool& Found);
    void GetPictureWithDirectFileName(const QString& ImageFileName, qint32 PicSize);

    // The lookup part of GetPictureByItemID: queries adoGetPic for the item and
    // tests the candidate files. True with the file's path when one exists;
    // false with an empty path otherwise. Throws DataError when the query fails.
    // UI thread only (it uses the data control).
    bool findPictureFile(qint32 itemId, QString& path);

    // The display's twips per pixel; 15 x 15 unless set. Both must be positive.
    void setTwipsPerPixel(double twipsX, double twipsY);
    double twipsPerPixelX() const;
    double twipsPerPixelY() const;
    // The colour behind transparent pictures (the window background).
    void setBackground(const QColor& color);

    // The decoder and cache behind all three routines; the listing prefetches
    // through it and may take copies from it directly (the same images).
    ThumbnailPipeline& pipeline() { return *m_pipeline; }

    // State of the picture boxes after the last call, in twips.
    QSizeF canvasSize() const { return m_canvasSize; }
    QSizeF picture1Size() const { return m_picture1Size; }
    QPointF image3Position() const { return m_image3Position; }
    QSizeF image3Size() const { return m_image3Size; }
    bool image3Stretch() const { return m_image3Stretch; }
    // The loaded picture's own size in pixels; invalid when nothing was loaded.
    QSize pictureSize() const { return m_loaded.pictureSize; }
    QString foundPath() const { return m_foundPath; }

private:
    void clearImage3();
    void loadImage3(const QString& path, qint32 PicSize);
    void sizeImage3(qint32 PicSize);
    void loadPicture1();
    void PaintScaledPicture(qint32 maxWidth, qint32 maxHeight);

    DataControl& m_adoGetPic;
    const QString& m_pictureServer;
    std::unique_ptr<ThumbnailPipeline> m_pipeline;

    Thumbnail m_loaded; // what the last load gave
    QString m_foundPath;
    QSizeF m_image3Size = QSizeF(1005, 1005);
    QPointF m_image3Position;
    bool m_image3Stretch = false;
    QSizeF m_picture1Size = QSizeF(1000, 1000);
    QSizeF m_canvasSize = QSizeF(1000, 1000);
};
