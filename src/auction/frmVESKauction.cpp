#include "auction/frmVESKauction.h"

#include "auction/AuctionEditor.h"
#include "auction/GetLeft.h"
#include "auction/ItemListing.h"
#include "auction/PendingEnds.h"
#include "auction/SetEndsDialog.h"
#include "data/AuctionJournal.h"
#include "data/AuctionSaver.h"
#include "data/DataError.h"
#include "data/DatabaseWorker.h"
#include "data/FieldReader.h"
#include "data/FileRoutines.h"
#include "data/frmadoHelper.h"
#include "settings/DaylightSetting.h"
#include "settings/GetSetupDICfile.h"
#include "timeconv/Clock.h"
#include "windows/InputGuard.h"
#include "windows/MessageBox.h"
#include "windows/Platform.h"
#include "windows/frmLOGO.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimeEdit>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {
// The window at design size: 1024 pixels wide at 15 twips per pixel, of which
// the border takes 105 twips.
constexpr double kDesignWindowWidth = 15360;
constexpr double kDesignClientWidth = 15255;
constexpr double kDesignClientHeight = 10680;
constexpr double kBorderWidth = kDesignWindowWidth - kDesignClientWidth;
constexpr double kMaxWindowWidth = 20000;
constexpr int kDesignScreenWidth = 1024;

// The state of a running save, shared with the database worker.
constexpr int kSaveRunning = 0;
constexpr int kSaveStopping = 1; // end at the next row, committing what was written
constexpr int kSaveGivenUp = 2;  // nobody waits for the report: commit nothing more
// How long a stopped save may take to end by itself before it is given up on.
constexpr int kStopGraceMs = 250;

const QColor kWindowColour(227, 227, 203);
const QColor kButtonColour(237, 237, 213);
const QColor kGridColour(245, 245, 220);
const QColor kBlueText(0, 0, 192);

const QString kNoStoreIdMessage = QStringLiteral(
    "The store indentifier has not been setup, please start this program from the computer you "
    "do the kestrabin upload from!");

// An image that reports a click (press and release on it), as the close icon needs.
class ClickableImage : public QLabel
{
public:
    ClickableImage(QWidget* parent, std::function<void()> onClick)
        : QLabel(parent), m_onClick(std::move(onClick))
    {
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        m_pressed = event->button() == Qt::LeftButton;
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const bool click = m_pressed && event->button() == Qt::LeftButton &&
                           rect().contains(event->position().toPoint());
        m_pressed = false;
        event->accept();
        if (click)
            m_onClick();
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override { event->accept(); }

private:
    std::function<void()> m_onClick;
    bool m_pressed = false;
};

QPixmap closeIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(96, 0, 0), 1.5));
    painter.setBrush(QColor(200, 30, 30));
    painter.drawRoundedRect(QRectF(2.5, 2.5, 27, 27), 5, 5);
    painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(10, 10), QPointF(22, 22));
    painter.drawLine(QPointF(22, 10), QPointF(10, 22));
    return pixmap;
}

// Where the design fonts are missing, fonts of about the same width keep the
// captions inside their controls.
void addFontSubstitutes()
{
    static const bool added = [] {
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                                   {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                                    QStringLiteral("Liberation Sans"),
                                    QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
        QFont::insertSubstitutions(
            QStringLiteral("Verdana"),
            {QStringLiteral("DejaVu Sans"), QStringLiteral("Bitstream Vera Sans")});
        return true;
    }();
    Q_UNUSED(added);
}

QFont designFont(double pointSize, bool bold = false)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

void setBaseColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
}

void makeGraphicalButton(QPushButton* button)
{
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; border: 1px solid #8c8c78;"
                       " border-radius: 2px; padding: 1px 4px; }"
                       " QPushButton:pressed { background-color: %2; }"
                       " QPushButton:focus { border: 1px solid #000000; }")
            .arg(kButtonColour.name(), kButtonColour.darker(112).name()));
}

QFrame* filledRectangle(QWidget* parent, const QColor& colour)
{
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::NoFrame);
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, colour);
    frame->setPalette(palette);
    // A drawn shape: clicks go to the window beneath.
    frame->setAttribute(Qt::WA_TransparentForMouseEvents);
    return frame;
}

bool isNormalWindow(const QWidget* window)
{
    return window->windowType() == Qt::Window && !qobject_cast<const QDialog*>(window);
}

const Clock& systemClock()
{
    static const Clock clock;
    return clock;
}
} // namespace

frmVESKauction::frmVESKauction(frmadoHelper& helper, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_helper(helper), m_worker(std::make_unique<DatabaseWorker>()), m_clock(&systemClock())
{
    const int dpiX = logicalDpiX();
    const int dpiY = logicalDpiY();
    m_twipsPerPixelX = 1440.0 / (dpiX > 0 ? dpiX : 96);
    m_twipsPerPixelY = 1440.0 / (dpiY > 0 ? dpiY : 96);

    addFontSubstitutes();
    setWindowTitle(QStringLiteral(" "));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kWindowColour);
    setPalette(palette);
    setFont(designFont(8.25));

    createControls();
    setTabOrderByIndex();

    m_windowWidthTwips = kDesignWindowWidth;
    centreOnScreen();
    applyWindowGeometry();

    connect(chkDayLight, &QCheckBox::toggled, this, &frmVESKauction::chkDayLight_Click);
    connect(Command1, &QPushButton::clicked, this, &frmVESKauction::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmVESKauction::Command2_Click);
    connect(Check4, &QCheckBox::toggled, this, &frmVESKauction::Check4_Click);
    connect(Timer1, &QTimer::timeout, this, &frmVESKauction::Timer1_Timer);
    connect(timerx, &QTimer::timeout, this, &frmVESKauction::timerx_Timer);
    m_editor = new AuctionEditor(*this);
    connect(m_editor, &AuctionEditor::gridClicked, this, &frmVESKauction::Flex_Click);
    connect(Flex->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &frmVESKauction::Flex_Scroll);
    connect(Flex->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &frmVESKauction::Flex_Scroll);
    connect(cmdSave, &QPushButton::clicked, this, &frmVESKauction::cmdSave_Click);
    connect(cmdStop, &QPushButton::clicked, this, &frmVESKauction::cmdStop_Click);
    connect(cmdUndoSave, &QPushButton::clicked, this, &frmVESKauction::cmdUndoSave_Click);
    // Esc stops a wait only while there is one; otherwise it stays the controls' own key.
    m_stopKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_stopKey->setEnabled(false);
    connect(m_stopKey, &QShortcut::activated, this, &frmVESKauction::cmdStop_Click);
    m_pending = new PendingEnds(*Flex, this);
    connect(m_pending, &PendingEnds::countChanged, this, &frmVESKauction::showUnsavedCount);
    auto* undoKey = new QShortcut(QKeySequence::Undo, this);
    connect(undoKey, &QShortcut::activated, this, &frmVESKauction::undoEnd);
    // Shift and Ctrl clicks pick whole rows, for setting the ends of several at once.
    Flex->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Flex->setSelectionBehavior(QAbstractItemView::SelectRows);
    Flex->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Flex, &QWidget::customContextMenuRequested, this, &frmVESKauction::showGridMenu);
    m_listing = &ItemListing::of(*this);
    connect(m_listing, &ItemListing::listed, m_pending, &PendingEnds::forget);
    connect(m_listing, &ItemListing::waitingChanged, this, &frmVESKauction::updateBusyState);
    connect(m_listing, &ItemListing::finished, this, &frmVESKauction::listingFinished);
    timerx->start();

    // Activation has to be judged against the program's other windows.
    if (qApp)
        qApp->installEventFilter(this);
}

frmVESKauction::~frmVESKauction() = default;

void frmVESKauction::createControls()
{
    chkDayLight = new QCheckBox(QStringLiteral("apply settings for day-light savings"), this);
    chkDayLight->setFont(designFont(9.75, true));
    place(chkDayLight, "chkDayLight", 10920, 10200, 3975, 375);

    Command2 = new QPushButton(QStringLiteral("--- REFRESH ---"), this);
    makeGraphicalButton(Command2);
    place(Command2, "Command2", 8400, 960, 2415, 615);

    Bar = new QProgressBar(this);
    Bar->setRange(0, 100);
    Bar->setValue(0);
    Bar->setTextVisible(false);
    place(Bar, "Bar", 240, 10080, 14775, 75, false);

    chkLimit = new QCheckBox(QStringLiteral("(limit to 50)"), this);
    chkLimit->setChecked(true);
    setTextColour(chkLimit, kBlueText);
    place(chkLimit, "chkLimit", 7200, 960, 1095, 195);

    Option1 = new QRadioButton(QStringLiteral("show ANY pieces"), this);
    place(Option1, "Option1", 2640, 120, 3200, 315);

    optPast = new QRadioButton(QStringLiteral("show PAST auction-pieces"), this);
    setTextColour(optPast, QColor(255, 0, 0));
    optPast->setFont(designFont(8.25, true));
    place(optPast, "optPast", 2640, 840, 3200, 315);

    optFree = new QRadioButton(QStringLiteral("show auction-FREE pieces"), this);
    setTextColour(optFree, kBlueText);
    optFree->setFont(designFont(8.25, true));
    place(optFree, "optFree", 2640, 1200, 3200, 315);

    optCurrent = new QRadioButton(QStringLiteral("show CURRENT auction-pieces"), this);
    setTextColour(optCurrent, QColor(0, 192, 0));
    optCurrent->setFont(designFont(8.25, true));
    optCurrent->setChecked(true);
    place(optCurrent, "optCurrent", 2640, 480, 3200, 315);

    Command1 = new QPushButton(QStringLiteral("save this table --->>>"), this);
    makeGraphicalButton(Command1);
    Command1->setFont(designFont(9.75, true));
    place(Command1, "Command1", 11280, 1080, 3735, 495);

    cmdSave = new QPushButton(QStringLiteral("--->>>"), this);
    cmdSave->hide();
    place(cmdSave, "cmdSave", 1200, 960, 1335, 255);

    dtTime = new QDateTimeEdit(this);
    // The store's wall time, in UTC so that no time zone of this machine moves
    // it; the switch to UTC shifted the day's bounds by the machine's offset.
    dtTime->setTimeSpec(Qt::UTC);
    dtTime->setDisplayFormat(QStringLiteral("HH:mm"));
    dtTime->setTimeRange(QTime(0, 0), QTime(23, 59, 59, 999));
    dtTime->setDateTime(QDateTime(QDate(1899, 12, 30), QTime(15, 0), Qt::UTC));
    dtTime->hide();
    place(dtTime, "dtTime", 360, 480, 2175, 345);

    txtStoreID = new QLineEdit(this);
    setBaseColour(txtStoreID, QColor(255, 255, 0));
    place(txtStoreID, "txtStoreID", 480, 1200, 1455, 315);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(3000);

    txtSearch = new QLineEdit(this);
    place(txtSearch, "txtSearch", 6120, 1200, 2175, 315);
    // No more characters than the item table's storeid and SKU columns hold.
    InputGuard::install(txtStoreID, QStringLiteral("StoreID"), 64);
    InputGuard::install(txtSearch, QStringLiteral("SKU# search"), 255);

    Flex = new QTableWidget(0, 8, this);
    Flex->horizontalHeader()->hide();
    Flex->verticalHeader()->hide();
    Flex->setEditTriggers(QAbstractItemView::NoEditTriggers);
    setBaseColour(Flex, kGridColour);
    place(Flex, "Flex", 240, 1800, 14775, 8055);

    timerx = new QTimer(this);
    timerx->setObjectName(QStringLiteral("timerx"));
    timerx->setInterval(5000);

    Check4 = new QCheckBox(QStringLiteral("Check4"), this);
    Check4->setChecked(true);
    Check4->hide();
    place(Check4, "Check4", 12480, 360, 1695, 255);

    dtDate = new QDateEdit(this);
    dtDate->setDisplayFormat(QStringLiteral("MMM dd, yyyy"));
    dtDate->setCalendarPopup(true);
    dtDate->setDate(QDate(2015, 10, 14));
    dtDate->hide();
    place(dtDate, "dtDate", 360, 120, 2175, 345);

    // The red frame lies behind the grid and shows only around it.
    shpWait = filledRectangle(this, QColor(255, 0, 0));
    shpWait->hide();
    place(shpWait, "shpWait", 120, 1680, 15015, 8295, false);
    shpWait->stackUnder(Flex);

    Label2 = new QLabel(QStringLiteral("StoreID"), this);
    setTextColour(Label2, kBlueText);
    place(Label2, "Label2", 600, 960, 1095, 255);

    Label1 = new QLabel(QStringLiteral("SKU# search"), this);
    setTextColour(Label1, kBlueText);
    place(Label1, "Label1", 6120, 960, 2175, 255);

    Image1 = new ClickableImage(this, [this] { Image1_Click(); });
    Image1->setPixmap(closeIcon());
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setCursor(Qt::PointingHandCursor);
    place(Image1, "Image1", 14640, 120, 480, 480, false);

    lblBuild = new QLabel(QStringLiteral("......"), this);
    setTextColour(lblBuild, kBlueText);
    place(lblBuild, "lblBuild", 360, 10310, 3975, 255);

    cmdStop = new QPushButton(QStringLiteral("Stop (Esc)"), this);
    makeGraphicalButton(cmdStop);
    cmdStop->hide();
    place(cmdStop, "cmdStop", 6000, 10200, 2415, 375);

    // Not a design control: the free strip between Command1 and the grid.
    m_unsavedLabel = new QLabel(this);
    m_unsavedLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_unsavedLabel->setFont(designFont(8.25, true));
    setTextColour(m_unsavedLabel, kBlueText);
    m_unsavedLabel->hide();
    place(m_unsavedLabel, "lblUnsaved", 11280, 1590, 3735, 195);
    cmdUndoSave = new QPushButton(QStringLiteral("Undo last save"), this);
    makeGraphicalButton(cmdUndoSave);
    place(cmdUndoSave, "cmdUndoSave", 8520, 10200, 2295, 375);

    // Lines 2 pixels wide, centred on their design position.
    const QColor grey(128, 128, 128);
    Line1_1 = filledRectangle(this, grey);
    place(Line1_1, "Line1_1", 0, 10670 - m_twipsPerPixelY, 15240, 2 * m_twipsPerPixelY, false);
    Line1_2 = filledRectangle(this, grey);
    place(Line1_2, "Line1_2", 0, 10 - m_twipsPerPixelY, 15240, 2 * m_twipsPerPixelY, false);

    // Labels and lines are painted on the window itself: every control with a
    // window of its own covers them, so they stay at the bottom of the stack.
    for (QWidget* drawn : {static_cast<QWidget*>(Label2), static_cast<QWidget*>(Label1),
                           static_cast<QWidget*>(lblBuild), static_cast<QWidget*>(Line1_1),
                           static_cast<QWidget*>(Line1_2)})
        drawn->lower();
    shpWait->lower();
}

void frmVESKauction::setTabOrderByIndex()
{
    const QList<QWidget*> byTabIndex = {Check4,  Flex,    txtSearch, txtStoreID, dtTime,
                                        dtDate,  cmdSave, Command1,  optCurrent, optFree,
                                        optPast, Option1, chkLimit,  Command2,   chkDayLight};
    for (int i = 1; i < byTabIndex.size(); ++i)
        setTabOrder(byTabIndex.at(i - 1), byTabIndex.at(i));
}

void frmVESKauction::place(QWidget* control, const char* name, double left, double top,
                           double width, double height, bool hasFont)
{
    control->setObjectName(QLatin1String(name));
    m_controls.push_back({control, {left, top, width, height}, hasFont});
    applyGeometry(control, m_controls.back().twips);
}

frmVESKauction::Control* frmVESKauction::findControl(const QWidget* control)
{
    for (Control& entry : m_controls) {
        if (entry.widget == control)
            return &entry;
    }
    return nullptr;
}

const frmVESKauction::Control* frmVESKauction::findControl(const QWidget* control) const
{
    for (const Control& entry : m_controls) {
        if (entry.widget == control)
            return &entry;
    }
    return nullptr;
}

frmVESKauction::TwipsRect frmVESKauction::twipsGeometry(const QWidget* control) const
{
    if (const Control* entry = findControl(control))
        return entry->twips;
    if (!control)
        return {};
    const QRect pixels = control->geometry();
    return {pixelsToTwipsX(pixels.x()), pixelsToTwipsY(pixels.y()), pixelsToTwipsX(pixels.width()),
            pixelsToTwipsY(pixels.height())};
}

void frmVESKauction::setTwipsGeometry(QWidget* control, const TwipsRect& rect)
{
    if (!control)
        return;
    // Controls added later (the editor's own) are placed but not remembered.
    if (Control* entry = findControl(control))
        entry->twips = rect;
    applyGeometry(control, rect);
}

int frmVESKauction::twipsToPixelsX(double twips) const
{
    return static_cast<int>(std::lround(twips / m_twipsPerPixelX));
}

int frmVESKauction::twipsToPixelsY(double twips) const
{
    return static_cast<int>(std::lround(twips / m_twipsPerPixelY));
}

double frmVESKauction::pixelsToTwipsX(int pixels) const
{
    return pixels * m_twipsPerPixelX;
}

double frmVESKauction::pixelsToTwipsY(int pixels) const
{
    return pixels * m_twipsPerPixelY;
}

void frmVESKauction::applyGeometry(QWidget* control, const TwipsRect& rect)
{
    const int left = twipsToPixelsX(rect.left);
    const int top = twipsToPixelsY(rect.top);
    const int right = twipsToPixelsX(rect.left + rect.width);
    const int bottom = twipsToPixelsY(rect.top + rect.height);
    control->setGeometry(left, top, std::max(right - left, 1), std::max(bottom - top, 1));
}

void frmVESKauction::applyWindowGeometry()
{
    setFixedSize(twipsToPixelsX(m_windowWidthTwips - kBorderWidth),
                 twipsToPixelsY(kDesignClientHeight));
    const QScreen* screen = this->screen();
    const QPoint origin = screen ? screen->availableGeometry().topLeft() : QPoint();
    move(origin.x() + twipsToPixelsX(m_windowLeftTwips), origin.y() + m_windowTopPixels);
}

void frmVESKauction::centreOnScreen()
{
    const double screenWidthTwips = pixelsToTwipsX(Platform::screenWidth(this));
    m_windowLeftTwips = std::max(0.0, (screenWidthTwips - m_windowWidthTwips) / 2.0);
    const QScreen* screen = this->screen();
    const int screenHeight = screen ? screen->availableGeometry().height() : 0;
    m_windowTopPixels = std::max(0, (screenHeight - twipsToPixelsY(kDesignClientHeight)) / 2);
}

void frmVESKauction::setClock(const Clock* clock)
{
    m_clock = clock ? clock : &systemClock();
}

bool frmVESKauction::daylightSaving() const
{
    return chkDayLight->isChecked();
}

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

void frmVESKauction::stretchToScreen()
{
    ScreenMultiplier = 1.0f;
    if (ScreenResolutionX > kDesignScreenWidth) {
        const double oldWidth = m_windowWidthTwips;
        double newWidth = kDesignWindowWidth * ScreenResolutionX / kDesignScreenWidth;
        if (newWidth > kMaxWindowWidth)
            newWidth = kMaxWindowWidth;
        ScreenMultiplier = static_cast<float>(newWidth / kDesignWindowWidth);
        m_windowLeftTwips = GetLeft(m_windowLeftTwips, oldWidth, newWidth);
        m_windowWidthTwips = newWidth;
        applyWindowGeometry();
    }

    const double multiplier = ScreenMultiplier;
    const bool wider = ScreenMultiplier > 1.0f;
    for (Control& control : m_controls) {
        control.twips.width = std::floor(control.twips.width * multiplier);
        control.twips.left = std::floor(control.twips.left * multiplier);
        applyGeometry(control.widget, control.twips);
        if (!control.hasFont || !wider)
            continue;
        QFont font = control.widget->font();
        if (font.pointSizeF() < 10)
            font.setPointSizeF(9);
        if (font.pointSizeF() < 10)
            font.setFamily(QStringLiteral("Verdana"));
        control.widget->setFont(font);
    }
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

void frmVESKauction::Timer1_Timer()
{
    Timer1->stop();
    if (m_saving)
        return; // the grid is being saved; the save lists again when it ends
    ++listingRuns;
    emit listingStarted();
    m_listing->run();
    updateBusyState();
}

// Saves the auction ends of the grid on the database worker. The window stays
// live but takes no input that would change the grid meanwhile; a save that
// ends early keeps the ends it did not write, marked, for the next press.
void frmVESKauction::Command1_Click()
{
    if (isBusy())
        return;
    const QVector<AuctionRow> rows = auctionRows(*Flex);
    const QString store = txtStoreID->text();
    startSave(
        false, AuctionSaver::rowsToWrite(rows),
        [rows, store](DataControl& control, const std::function<void(AuctionSaver&)>& prepare) {
            AuctionSaver saver(control, store);
            prepare(saver);
            return saver.save(rows);
        });
}

// Puts back the ends the last save of the journal replaced, where nobody has
// changed them since. The undo is journaled as a save of its own, so a second
// press undoes the undo.
void frmVESKauction::cmdUndoSave_Click()
{
    // The table is listed again after the undo: ask before that throws edits away.
    if (isBusy() || !confirmDiscardPending())
        return;
    const QString journalFile = m_helper.installation().auctionJournalFile();
    startSave(
        true, {},
        [journalFile](DataControl& control, const std::function<void(AuctionSaver&)>& prepare) {
            const AuctionJournal::Save last = AuctionJournal(journalFile).lastSave();
            AuctionSaveReport report;
            if (!last.error.isEmpty() || last.rows.isEmpty()) {
                report.journalError =
                    !last.error.isEmpty()
                        ? last.error
                        : QStringLiteral("the save journal %1 holds no save").arg(journalFile);
                return report;
            }
            AuctionSaver saver(control, last.rows.first().store);
            prepare(saver);
            return saver.write(AuctionSaver::undoOf(last.rows));
        });
}

void frmVESKauction::startSave(bool undo, const QVector<int>& rowsToWrite, SaveRun run)
{
    const DatabaseWorker::ControlSetup setup =
        DatabaseWorker::ControlSetup::of(m_helper.adoKBvesk1);
    const QString journalFile = m_helper.installation().auctionJournalFile();
    const quint64 generation = ++m_saveGeneration;
    const auto state = std::make_shared<std::atomic<int>>(kSaveRunning);
    const auto report = std::make_shared<AuctionSaveReport>();
    const bool started = m_worker->run(
        [this, run, setup, journalFile, generation, state, report,
         before = beforeSaveRow](DatabaseWorker::Session& session) {
            const AuctionJournal journal(journalFile);
            const auto prepare = [&](AuctionSaver& saver) {
                saver.journal = &journal;
                saver.beforeRow = before;
                saver.stopRequested = [state] { return state->load() != kSaveRunning; };
                saver.givenUp = [state] { return state->load() == kSaveGivenUp; };
                saver.rowSaved = [this, generation](int row, qint32 stamp) {
                    QMetaObject::invokeMethod(
                        this,
                        [this, generation, row, stamp] {
                            if (!m_saving || generation != m_saveGeneration)
                                return;
                            m_savedSoFar.append({row, stamp});
                            emit rowSaved(row);
                        },
                        Qt::QueuedConnection);
                };
            };
            *report = run(session.control(setup), prepare);
        },
        [this, report] { saveDone(*report); });
    if (!started)
        return;
    m_saving = true;
    m_undoing = undo;
    m_stopSave = state;
    m_rowsToWrite = rowsToWrite;
    m_savedSoFar.clear();
    m_barRangeBeforeSave = {Bar->minimum(), Bar->maximum()};
    m_barValueBeforeSave = Bar->value();
    Bar->setRange(0, 0);
    updateBusyState();
}

void frmVESKauction::saveDone(const AuctionSaveReport& report)
{
    m_saving = false;
    const bool endAfterSave = std::exchange(m_endAfterSave, false);
    const bool undo = std::exchange(m_undoing, false);
    Bar->setRange(m_barRangeBeforeSave.first, m_barRangeBeforeSave.second);
    Bar->setValue(m_barValueBeforeSave);
    if (undo) {
        updateBusyState();
        if (report.endedEarly()) {
            MessageBox::warning(messageParent(), report.undoMessage());
            emit saveEnded();
            return;
        }
        m_reportAfterListing = report.undoMessage();
        m_reportIsWarning = report.hasProblems();
        m_listingAfterSave = true;
        Timer1_Timer();
        return;
    }
    QVector<bool> saved(Flex->rowCount(), false);
    for (const std::pair<int, qint32>& row : report.savedRows) {
        if (row.first < Flex->rowCount()) {
            markRowSaved(*Flex, row.first, row.second);
            m_pending->rowSaved(row.first);
            saved[row.first] = true;
        }
    }
    // Ends that could still be written later stay in the grid rather than
    // being replaced by a new listing.
    if (report.worthKeeping()) {
        for (int row : std::as_const(m_rowsToWrite)) {
            if (row < Flex->rowCount() && !saved[row])
                markRowNotSaved(*Flex, row);
        }
        updateBusyState();
        MessageBox::warning(messageParent(), report.message(false));
        emit saveEnded();
        return;
    }
    updateBusyState();
    if (endAfterSave && !report.hasProblems()) {
        emit saveEnded();
        emit programEnded();
        return;
    }
    m_reportAfterListing = report.hasProblems() ? report.message(true) : QString();
    m_reportIsWarning = true;
    m_listingAfterSave = true;
    Timer1_Timer();
}

void frmVESKauction::listingFinished()
{
    updateBusyState();
    if (!m_listingAfterSave)
        return;
    m_listingAfterSave = false;
    const QString report = std::exchange(m_reportAfterListing, QString());
    if (!report.isEmpty() && m_reportIsWarning)
        MessageBox::warning(messageParent(), report);
    else if (!report.isEmpty())
        MessageBox::information(messageParent(), report);
    emit saveEnded();
}

// Gives up the wait for the database: a save keeps every row it has
// committed, a listing leaves the table as it was.
void frmVESKauction::cmdStop_Click()
{
    if (m_saving) {
        int running = kSaveRunning;
        if (!m_stopSave->compare_exchange_strong(running, kSaveStopping)) {
            giveUpSave(); // pressed again
            return;
        }
        // A server that answers lets the save end at the next row, with what
        // it wrote committed; one that does not is given up on shortly.
        QTimer::singleShot(kStopGraceMs, this, [this, generation = m_saveGeneration] {
            if (m_saving && generation == m_saveGeneration)
                giveUpSave();
        });
        return;
    }
    if (m_listing->isWaiting()) {
        m_listing->stop();
        MessageBox::information(messageParent(),
                                tr("The listing was stopped before the item database answered.\n\n"
                                   "The table still shows what it showed before."));
    }
}

void frmVESKauction::giveUpSave()
{
    // From now on the save commits nothing more; the rows it confirmed still count.
    m_stopSave->store(kSaveGivenUp);
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    m_worker->abandon();
    AuctionSaveReport report;
    report.stopped = true;
    report.savedRows = m_savedSoFar;
    report.saved = m_savedSoFar.size();
    report.notAttempted = std::max(0, int(m_rowsToWrite.size()) - report.saved);
    saveDone(report);
}

bool frmVESKauction::isBusy() const
{
    return m_saving || m_listing->isRunning();
}

void frmVESKauction::updateBusyState()
{
    const bool saving = m_saving;
    for (QWidget* control : {static_cast<QWidget*>(Command2), static_cast<QWidget*>(Option1),
                             static_cast<QWidget*>(optPast), static_cast<QWidget*>(optFree),
                             static_cast<QWidget*>(optCurrent), static_cast<QWidget*>(chkLimit),
                             static_cast<QWidget*>(txtSearch), static_cast<QWidget*>(txtStoreID),
                             static_cast<QWidget*>(Flex), static_cast<QWidget*>(cmdSave),
                             static_cast<QWidget*>(dtDate), static_cast<QWidget*>(dtTime)})
        control->setEnabled(!saving);
    Command1->setEnabled(!saving && !m_listing->isRunning());
    cmdUndoSave->setEnabled(!saving && !m_listing->isRunning() &&
                            QFileInfo::exists(m_helper.installation().auctionJournalFile()));
    cmdStop->setVisible(saving || m_listing->isWaiting());
    m_stopKey->setEnabled(cmdStop->isVisibleTo(this));
}

void frmVESKauction::Command2_Click()
{
    if (confirmDiscardPending())
        Timer1_Timer();
}

bool frmVESKauction::confirmDiscardPending()
{
    const int count = m_pending->count();
    if (count == 0)
        return true;
    return MessageBox::question(messageParent(), tr("Discard %1 unsaved ends?").arg(count),
                                QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool frmVESKauction::mayEnd()
{
    const int count = m_pending->count();
    if (count == 0 || m_saving)
        return true;
    switch (MessageBox::question(messageParent(),
                                 tr("Save %1 unsaved ends before closing?\n\n"
                                    "Yes: save them, and close once they are saved.\n"
                                    "No: close without them.\nCancel: stay.")
                                     .arg(count),
                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        Command1_Click();
        m_endAfterSave = m_saving;
        return false;
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void frmVESKauction::undoEnd()
{
    if (!m_saving)
        m_pending->undo();
}

void frmVESKauction::showGridMenu(const QPoint& position)
{
    if (m_saving)
        return;
    const int row = Flex->rowAt(position.y());
    QVector<int> rows;
    for (const QModelIndex& index : Flex->selectionModel()->selectedIndexes()) {
        if (!rows.contains(index.row()))
            rows << index.row();
    }
    if (rows.isEmpty() && row >= 0)
        rows << row;
    // Top to bottom as the grid shows them, whatever order they were picked in.
    std::sort(rows.begin(), rows.end());

    auto* menu = new QMenu(Flex);
    menu->setObjectName(QStringLiteral("gridMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* undo = menu->addAction(tr("Undo end"), this, [this, row] { m_pending->undoRow(row); });
    undo->setShortcut(QKeySequence::Undo);
    undo->setEnabled(row >= 0 && m_pending->canUndoRow(row));
    QAction* setEnds =
        menu->addAction(tr("Set ends") + QChar(0x2026), this, [this, rows] { openSetEnds(rows); });
    setEnds->setEnabled(!rows.isEmpty());
    menu->popup(Flex->viewport()->mapToGlobal(position));
}

void frmVESKauction::openSetEnds(const QVector<int>& rows)
{
    // The first row's end when it is still to come, else now rounded up to
    // the next five minutes.
    const QDateTime now = clock().now();
    const QDateTime wallNow(now.date(), now.time(), Qt::UTC);
    QDateTime start = m_editor->rowEnd(rows.first());
    if (!start.isValid() || start <= wallNow) {
        const qint64 seconds = wallNow.toSecsSinceEpoch();
        start = QDateTime::fromSecsSinceEpoch((seconds + 299) / 300 * 300, Qt::UTC);
    }
    auto* dialog = new SetEndsDialog(int(rows.size()), start.date(), start.time(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog, rows] {
        // The selection's highlight would hide the marks of the rows just set.
        if (m_editor->setEnds(rows, dialog->startDate->date(), dialog->startTime->time(),
                              dialog->stepMinutes->value()))
            Flex->clearSelection();
    });
    dialog->open();
}

void frmVESKauction::showUnsavedCount(int count)
{
    m_unsavedLabel->setText(count > 0 ? tr("%1 unsaved").arg(count) : QString());
    m_unsavedLabel->setVisible(count > 0);
}

void frmVESKauction::Flex_Click()
{
    m_editor->gridClick();
}

void frmVESKauction::Flex_Scroll()
{
    m_editor->gridScrolled();
}

void frmVESKauction::cmdSave_Click()
{
    m_editor->apply();
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
