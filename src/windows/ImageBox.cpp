#include "windows/ImageBox.h"

#include <QImageReader>
#include <QMouseEvent>

ImageBox::ImageBox(QWidget* parent) : QLabel(parent)
{
    setScaledContents(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void ImageBox::setStretch(bool on)
{
    m_stretch = on;
    setScaledContents(on);
    if (!on && hasPicture())
        resize(m_picture.deviceIndependentSize().toSize());
}

void ImageBox::clearPicture()
{
    m_picture = QPixmap();
    clear();
}

void ImageBox::setPicture(const QPixmap& picture)
{
    m_picture = picture;
    setPixmap(picture);
    if (!m_stretch && !picture.isNull())
        resize(picture.deviceIndependentSize().toSize());
}

bool ImageBox::loadPicture(const QString& path)
{
    clearPicture();
    m_lastError.clear();
    if (path.isEmpty()) {
        m_lastError = tr("No picture file named.");
        return false;
    }
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        m_lastError = tr("Cannot load the picture %1: %2").arg(path, reader.errorString());
        return false;
    }
    setPicture(QPixmap::fromImage(image));
    return true;
}

void ImageBox::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void ImageBox::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}
