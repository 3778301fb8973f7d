#pragma once

#include <QImage>
#include <QString>

class DataControl;

// Finds an item's picture file under the picture folder, loads it and paints a
// small scaled copy into Picture2.
class ItemPictures
{
public:
    ItemPictures(DataControl& adoGetPic, const QString& pictureServer);

    QImage Image3;
    QImage Picture1;
    QImage Picture2;

    void GetPictureByItemID(qint32 ItemID, qint32 PicSize, bool& FoundThisImage);
    void GetPicture(const QString& PictureServer, const QString& SKU, qint32 PicSize, bool& Found);
    void GetPictureWithDirectFileName(const QString& ImageFileName, qint32 PicSize);

private:
    DataControl& m_adoGetPic;
    const QString& m_pictureServer;
};
