#include "windows/frmLOGO.h"

#include "windows/LogoFit.h"
#include "windows/Twips.h"

#include <QMouseEvent>

frmLOGO::frmLOGO(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Form1"));

    const Twips twips = Twips::of(this);
    resize(twips.toPixels(QSizeF(3225, 1995)));

    txtLogo = new QLineEdit(this);
    txtLogo->setObjectName(QStringLiteral("txtLogo"));
    txtLogo->setGeometry(twips.toPixels(480, 120, 2415, 315));
    txtLogo->setText(QStringLiteral("Text1"));

    imgLOGO = new ImageBox(this);
    imgLOGO->setObjectName(QStringLiteral("imgLOGO"));
    imgLOGO->setGeometry(twips.toPixels(120, 600, 2895, 1095));

    // Connected after the initial text: creating the window loads nothing.
    connect(txtLogo, &QLineEdit::textChanged, this, &frmLOGO::txtLogo_Change);
}

void frmLOGO::loadLogoPicture(const QString& path)
{
    imgLOGO->clearPicture();
    imgLOGO->setStretch(false);
    imgLOGO->loadPicture(path);
}

void frmLOGO::txtLogo_Change()
{
    imgLOGO->clearPicture();
    imgLOGO->setStretch(false);
    // A picture that cannot be loaded or fitted leaves the image as it is;
    // the window is still sized around it.
    if (imgLOGO->loadPicture(txtLogo->text())) {
        const Twips twips = Twips::of(this);
        const auto fitted = LogoFit::fitPicture(twips.toTwips(imgLOGO->size()));
        if (fitted) {
            imgLOGO->resize(twips.toPixels(*fitted));
            imgLOGO->setStretch(true);
        }
    }
    sizeAroundImage();
}

void frmLOGO::sizeAroundImage()
{
    const Twips twips = Twips::of(this);
    setOuterSize(twips.toPixels(LogoFit::windowSize(twips.toTwips(imgLOGO->size()))));
}

void frmLOGO::setOuterSize(QSize outer)
{
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) {
        m_pendingOuterSize = outer;
        return;
    }
    m_pendingOuterSize = QSize();
    const QSize frame = frameGeometry().size() - geometry().size();
    resize((outer - frame).expandedTo(QSize(1, 1)));
}

void frmLOGO::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && m_pendingOuterSize.isValid())
        setOuterSize(m_pendingOuterSize);
}

void frmLOGO::mousePressEvent(QMouseEvent* event)
{
    m_backgroundPressed = event->button() == Qt::LeftButton;
    QWidget::mousePressEvent(event);
}

void frmLOGO::mouseReleaseEvent(QMouseEvent* event)
{
    const bool clicked = m_backgroundPressed && event->button() == Qt::LeftButton &&
                         rect().contains(event->position().toPoint());
    m_backgroundPressed = false;
    QWidget::mouseReleaseEvent(event);
    if (clicked)
        close();
}
