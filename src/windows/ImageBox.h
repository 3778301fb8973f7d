#pragma once

#include <QLabel>
#include <QPixmap>

// An image control: shows one picture, either at the picture's own size (the
// box takes that size) or stretched to the box. Clicks on it stop here.
class ImageBox : public QLabel
{
    Q_OBJECT
public:
    explicit ImageBox(QWidget* parent = nullptr);

    bool stretch() const { return m_stretch; }
    void setStretch(bool on);

    bool hasPicture() const { return !m_picture.isNull(); }
    QPixmap picture() const { return m_picture; }
    // No picture; the box keeps its size.
    void clearPicture();
    void setPicture(const QPixmap& picture);
    // False, with no picture left and the reason in lastError(), when the file
    // cannot be read as a picture.
    bool loadPicture(const QString& path);
    QString lastError() const { return m_lastError; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap m_picture;
    bool m_stretch = false;
    QString m_lastError;
};
