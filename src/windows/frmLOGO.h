#pragma once

#include "windows/ImageBox.h"

#include <QLineEdit>
#include <QSize>
#include <QWidget>

// A small window showing one picture, normally the company logo. A change of
// txtLogo loads the file it names, fits it into 8000 x 5000 twips and sizes the
// window around it; a click on the window's background closes (hides) it. Its
// creator owns it.
class frmLOGO : public QWidget
{
    Q_OBJECT
public:
    explicit frmLOGO(QWidget* parent = nullptr);

    QLineEdit* txtLogo = nullptr;
    ImageBox* imgLOGO = nullptr;

    // What the settings reader does with the logo: no picture, stretching off,
    // then load the file (an empty or unloadable name leaves no picture).
    // Neither fits the picture nor resizes or shows the window.
    void loadLogoPicture(const QString& path);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void txtLogo_Change();
    void sizeAroundImage();
    void setOuterSize(QSize outer);

    bool m_backgroundPressed = false;
    // An outer size that could not be applied while minimised or maximised.
    QSize m_pendingOuterSize;
};
