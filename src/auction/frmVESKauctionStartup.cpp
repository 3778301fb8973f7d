// The auction window: its start-up, activation, timers and closing.
#include "auction/frmVESKauction.h"

#include "data/FieldReader.h"
#include "data/FileRoutines.h"
#include "data/frmadoHelper.h"
#include "settings/DaylightSetting.h"
#include "settings/GetSetupDICfile.h"
#include "windows/MessageBox.h"
#include "windows/Platform.h"
#include "windows/frmLOGO.h"

#include <QCloseEvent>
#include <QDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMouseEvent>

namespace {
const QString kNoStoreIdMessage = QStringLiteral(
    "The store indentifier has not been setup, please start this program from the computer you "
    "do the kestrabin upload from!");

bool isNormalWindow(const QWidget* window)
{
    return window->windowType() == Qt::Window && !qobject_cast<const QDialog*>(window);
}
} // namespace

bool frmVESKauction::Form_Load()
{
    const Installation& installation = m_helper.installation();

    writeProgressWord(QStringLiteral("veskdaylightsavings"));
    chkDayLight->setChecked(false);
    if (readDaylightSetting(installation))
        chkDayLight->setChecked(true);

    readInstallationSettings();
    showVersion();

    ScreenResolutionX = Platform::screenWidth(this);
    stretchToScreen();

    writeProgressWord(QStringLiteral("userid"));
    txtStoreID->setText(readFirstField(installation.userIdFile()).value_or(QString()));

    if (txtStoreID->text().isEmpty()) {
        Check4->setChecked(false);
        MessageBox::information(messageParent(), kNoStoreIdMessage, QString());
        emit programEnded();
        return false;
    }
    return true;
}

void frmVESKauction::writeProgressWord(const QString& word)
{
    try {
        m_helper.writeProgressWord(word);
    } catch (const FileError& error) {
        reportProgressFailure(error.message());
    }
}

// The marker only tells what start-up was doing before a crash: the program
// goes on without it, and says so once rather than at every word.
void frmVESKauction::reportProgressFailure(const QString& reason)
{
    if (m_progressFailureShown)
        return;
    m_progressFailureShown = true;
    MessageBox::warning(messageParent(),
                        tr("The start-up progress file could not be written.\n%1\n\n"
                           "The program goes on without it.")
                            .arg(reason));
}

void frmVESKauction::readInstallationSettings()
{
    const auto loadLogo = [this](const QString& path) {
        if (!m_logo)
            m_logo = std::make_unique<frmLOGO>();
        m_logo->loadLogoPicture(path);
    };
    try {
        for (const QString& failure : GetSetupDICfile(m_helper, loadLogo))
            reportProgressFailure(failure);
    } catch (const std::exception& error) {
        MessageBox::warning(
            messageParent(),
            tr("The installation settings could not be read.\n%1").arg(errorText(error)));
    }
}

void frmVESKauction::showVersion()
{
    const QFileInfo program(m_helper.installation().programFile());
    if (!program.exists() || !program.isFile())
        return;
    const QDate modified = program.lastModified().date();
    if (!modified.isValid())
        return;
    lblBuild->setText(QStringLiteral("exe File (LIVE) Version: ") +
                      QLocale().toString(modified, QStringLiteral("MMM d, yyyy")));
}

QWidget* frmVESKauction::messageParent()
{
    // A box owned by a hidden window would open at that window's unset place.
    return isVisible() ? this : nullptr;
}

void frmVESKauction::Form_Activate()
{
    if (m_saving)
        return; // the save lists again when it ends
    if (!confirmDiscardPending())
        return;
    optCurrent->setChecked(true);
    Timer1_Timer();
}

void frmVESKauction::Form_DblClick()
{
    Check4->setChecked(!Check4->isChecked());
}

void frmVESKauction::Check4_Click()
{
    const bool on = Check4->isChecked();
    Platform::setTopmost(this, on);
    if (on && !timerx->isActive())
        timerx->start();
    else if (!on)
        timerx->stop();
}

void frmVESKauction::timerx_Timer()
{
    Check4_Click();
}

void frmVESKauction::chkDayLight_Click()
{
    const bool ticked = chkDayLight->isChecked();
    try {
        writeDaylightSetting(m_helper.installation(), ticked);
    } catch (const std::exception& error) {
        MessageBox::warning(
            messageParent(),
            tr("The daylight-saving setting could not be saved, so the next start will not "
               "remember it.\n%1")
                .arg(errorText(error)));
    }
}

void frmVESKauction::Image1_Click()
{
    if (mayEnd())
        emit programEnded();
}

bool frmVESKauction::eventFilter(QObject* watched, QEvent* event)
{
    if (windowKey(watched, event))
        return true;
    if (event->type() == QEvent::WindowActivate && watched->isWidgetType()) {
        auto* window = static_cast<QWidget*>(watched);
        if (window->isWindow())
            windowActivated(window);
    }
    return QWidget::eventFilter(watched, event);
}

// Form_Activate runs when this window takes over from another ordinary
// window of the program, and the first time it is activated. Coming back from
// a popup, a tooltip, a dialog or another application would otherwise relist
// and silently throw away the auction ends the clerk has not saved yet.
void frmVESKauction::windowActivated(QWidget* window)
{
    if (window != this) {
        m_activeBefore =
            isNormalWindow(window) ? ActiveBefore::OtherWindow : ActiveBefore::TransientWindow;
        return;
    }
    const bool relist = !m_everActivated || m_activeBefore == ActiveBefore::OtherWindow;
    m_everActivated = true;
    m_activeBefore = ActiveBefore::ThisWindow;
    if (relist)
        QMetaObject::invokeMethod(this, &frmVESKauction::Form_Activate, Qt::QueuedConnection);
}

void frmVESKauction::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Only a free spot of the window: the controls have their own double click.
    if (event->button() == Qt::LeftButton && !childAt(event->position().toPoint()))
        Form_DblClick();
    QWidget::mouseDoubleClickEvent(event);
}

void frmVESKauction::closeEvent(QCloseEvent* event)
{
    if (!mayEnd()) {
        event->ignore();
        return;
    }
    event->accept();
    emit programEnded();
}
