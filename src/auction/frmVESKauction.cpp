// The auction window: its controls, their design geometry and looks, and stretching.
#include "auction/frmVESKauction.h"

#include "auction/AuctionEditor.h"
#include "auction/GetLeft.h"
#include "auction/ItemListing.h"
#include "auction/UnsavedEndsKeeper.h"
#include "auction/WindowStyle.h"
#include "auction_core/ItemTableModel.h"
#include "data/DatabaseWorker.h"
#include "data/frmadoHelper.h"
#include "timeconv/Clock.h"
#include "windows/InputGuard.h"
#include "windows/Platform.h"
#include "windows/frmLOGO.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QTimer>

namespace {
// The window at design size: 1024 pixels wide at 15 twips per pixel, of which
// the border takes 105 twips.
constexpr double kDesignWindowWidth = 15360;
constexpr double kDesignClientWidth = 15255;
constexpr double kDesignClientHeight = 10680;
constexpr double kBorderWidth = kDesignWindowWidth - kDesignClientWidth;
constexpr double kMaxWindowWidth = 20000;
constexpr int kDesignScreenWidth = 1024;

const Clock& systemClock()
{
    static const Clock clock;
    return clock;
}
} // namespace

using namespace windowstyle;

frmVESKauction::frmVESKauction(frmadoHelper& helper, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_helper(helper), m_worker(std::make_unique<DatabaseWorker>()), m_clock(&systemClock()),
      m_layout(Twips(logicalDpiX(), logicalDpiY()))
{

    addFontSubstitutes();
    setWindowTitle(QStringLiteral(" "));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kWindowColour);
    setPalette(palette);
    setFont(designFont(8.25));

    m_items = new ItemTableModel(this);
    createControls();
    setTabOrderByIndex();

    m_windowWidthTwips = kDesignWindowWidth;
    centreOnScreen();
    applyWindowGeometry();

    connect(chkDayLight, &QCheckBox::toggled, this, &frmVESKauction::chkDayLight_Click);
    // The date and time cells follow the box's clock, as a listing would show them.
    connect(chkDayLight, &QCheckBox::toggled, m_items, &ItemTableModel::setDaylightSaving);
    connect(Command1, &QPushButton::clicked, this, &frmVESKauction::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmVESKauction::Command2_Click);
    connect(Check4, &QCheckBox::toggled, this, &frmVESKauction::Check4_Click);
    connect(Timer1, &QTimer::timeout, this, &frmVESKauction::Timer1_Timer);
    connect(timerx, &QTimer::timeout, this, &frmVESKauction::timerx_Timer);
    connect(m_items, &ItemTableModel::pendingCountChanged, this, &frmVESKauction::showUnsavedCount);
    const auto now = [this] { return m_clock->now(); };
    setUpGrid(now);
    connect(cmdStop, &QPushButton::clicked, this, &frmVESKauction::cmdStop_Click);
    connect(cmdUndoSave, &QPushButton::clicked, this, &frmVESKauction::cmdUndoSave_Click);
    // Esc stops a wait only while there is one; otherwise it stays the controls' own key.
    m_stopKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_stopKey->setEnabled(false);
    connect(m_stopKey, &QShortcut::activated, this, &frmVESKauction::cmdStop_Click);
    ItemListing::Controls listed{this,        Flex,
                                 m_items,     Bar,
                                 shpWait,     optPast,
                                 optCurrent,  optFree,
                                 chkLimit,    txtSearch,
                                 chkDayLight, twips(),
                                 now,         [this] { return ScreenMultiplier; }};
    m_listing = new ItemListing(listed, m_helper, *m_worker, this);
    connect(m_listing, &ItemListing::waitingChanged, this, &frmVESKauction::updateBusyState);
    connect(m_listing, &ItemListing::finished, this, &frmVESKauction::listingFinished);
    m_unsavedEnds = new UnsavedEndsKeeper(
        {this, m_items, m_helper.installation().dir(), [this] { return txtStoreID->text(); }},
        this);
    connect(m_listing, &ItemListing::listed, m_unsavedEnds, &UnsavedEndsKeeper::listed);
    connect(m_unsavedEnds, &UnsavedEndsKeeper::waitingCountChanged, this,
            [this] { showUnsavedCount(m_items->pendingCount()); });
    setUpKeys();
    setUpStatusLine();
    updateUndoCaption();
    timerx->start();

    // Activation has to be judged against the program's other windows.
    if (qApp)
        qApp->installEventFilter(this);
}

void frmVESKauction::setUpGrid(const std::function<QDateTime()>& now)
{
    m_editor = new AuctionEditor(
        {this, Flex, m_items, dtDate, dtTime, cmdSave, chkDayLight, &m_layout, now}, this);
    connect(m_editor, &AuctionEditor::gridClicked, this, &frmVESKauction::Flex_Click);
    connect(Flex->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &frmVESKauction::Flex_Scroll);
    connect(Flex->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &frmVESKauction::Flex_Scroll);
    connect(cmdSave, &QPushButton::clicked, this, &frmVESKauction::cmdSave_Click);
    // Shift and Ctrl clicks pick whole rows, for setting the ends of several at once.
    Flex->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Flex->setSelectionBehavior(QAbstractItemView::SelectRows);
    Flex->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Flex, &QWidget::customContextMenuRequested, this, &frmVESKauction::showGridMenu);
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

    Flex = new QTableView(this);
    Flex->setModel(m_items);
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
    // Not a design control: the free strip left of it, over the grid.
    m_statusLabel = new QLabel(this);
    m_statusLabel->setFont(designFont(8.25, true));
    setTextColour(m_statusLabel, kBlueText);
    place(m_statusLabel, "lblStatus", 240, 1590, 10935, 195);
    cmdUndoSave = new QPushButton(QStringLiteral("Undo last save"), this);
    makeGraphicalButton(cmdUndoSave);
    place(cmdUndoSave, "cmdUndoSave", 8520, 10200, 2295, 375);

    // Lines 2 pixels wide, centred on their design position.
    const QColor grey(128, 128, 128);
    Line1_1 = filledRectangle(this, grey);
    const double pixelY = twips().perPixelY();
    place(Line1_1, "Line1_1", 0, 10670 - pixelY, 15240, 2 * pixelY, false);
    Line1_2 = filledRectangle(this, grey);
    place(Line1_2, "Line1_2", 0, 10 - pixelY, 15240, 2 * pixelY, false);

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
    m_layout.place(control, {left, top, width, height}, hasFont);
}

void frmVESKauction::applyWindowGeometry()
{
    setFixedSize(twips().toPixelsX(m_windowWidthTwips - kBorderWidth),
                 twips().toPixelsY(kDesignClientHeight));
    const QScreen* screen = this->screen();
    const QPoint origin = screen ? screen->availableGeometry().topLeft() : QPoint();
    move(origin.x() + twips().toPixelsX(m_windowLeftTwips), origin.y() + m_windowTopPixels);
}

void frmVESKauction::centreOnScreen()
{
    const double screenWidthTwips = twips().toTwipsX(Platform::screenWidth(this));
    m_windowLeftTwips = std::max(0.0, (screenWidthTwips - m_windowWidthTwips) / 2.0);
    const QScreen* screen = this->screen();
    const int screenHeight = screen ? screen->availableGeometry().height() : 0;
    m_windowTopPixels = std::max(0, (screenHeight - twips().toPixelsY(kDesignClientHeight)) / 2);
}

void frmVESKauction::setClock(const Clock* clock)
{
    m_clock = clock ? clock : &systemClock();
}

bool frmVESKauction::daylightSaving() const
{
    return chkDayLight->isChecked();
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

    m_layout.stretch(ScreenMultiplier);
}
