#include "data/ItemPictures.h"

ItemPictures::ItemPictures(DataControl& adoGetPic, const QString& pictureServer)
    : m_adoGetPic(adoGetPic), m_pictureServer(pictureServer)
{
}
void ItemPictures::GetPictureByItemID(qint32, qint32, bool& found) { found = false; }
void ItemPictures::GetPicture(const QString&, const QString&, qint32, bool& found) { found = false; }
void ItemPictures::GetPictureWithDirectFileName(const QString&, qint32) {}
