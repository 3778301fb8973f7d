#pragma once

#include "windows/DesignLayout.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QTableView>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class AuctionEditor;
class Clock;
class DatabaseWorker;
class QShortcut;
class ItemListing;
class AuctionSaver;
class DataControl;
class ItemTableModel;
class UnsavedEndsKeeper;
struct AuctionSaveReport;
class frmadoHelper;
class frmLOGO;

// The program's start-up window and its only working window.
class frmVESKauction : public QWidget
{
    Q_OBJECT
public:
    explicit frmVESKauction(frmadoHelper& helper, QWidget* parent = nullptr);
    ~frmVESKauction() override;

    // The start-up sequence. False when the program is to end (no store identifier).
    bool Form_Load();

    // The controls a person works with, in their creation order.
    QCheckBox* chkDayLight = nullptr;
    QPushButton* Command2 = nullptr;
    QProgressBar* Bar = nullptr;
    QCheckBox* chkLimit = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* optPast = nullptr;
    QRadioButton* optFree = nullptr;
    QRadioButton* optCurrent = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdSave = nullptr;
    QDateTimeEdit* dtTime = nullptr;
    QLineEdit* txtStoreID = nullptr;
    QLineEdit* txtSearch = nullptr;
    QTableView* Flex = nullptr;
    QTimer* timerx = nullptr;
    QCheckBox* Check4 = nullptr;
    QDateEdit* dtDate = nullptr;
    QFrame* shpWait = nullptr;
    QLabel* Image1 = nullptr;
    // Shown while the window waits for a database: gives up the wait (also Esc).
    QPushButton* cmdStop = nullptr;
    // Puts back the ends the last save (of the save journal) replaced.
    QPushButton* cmdUndoSave = nullptr;

    // Horizontal stretch factor chosen at start-up (1 up to 1024 pixels).
    float ScreenMultiplier = 1.0f;
    // Screen width in pixels as measured at start-up.
    int ScreenResolutionX = 0;

    // How often the listing routine has run.
    int listingRuns = 0;
    // Runs on the database worker before each grid row a save looks at (row
    // index); lets tests act in the middle of a save.
    std::function<void(int)> beforeSaveRow;

    // Design lengths (twips) in this window's pixels.
    const Twips& twips() const { return m_layout.twips(); }
    ItemListing& listing() { return *m_listing; }
    double windowLeftTwips() const { return m_windowLeftTwips; }

    // "Now" for the listing and the editor; tests set their own clock.
    const Clock& clock() const { return *m_clock; }
    void setClock(const Clock* clock);

    // The state of the daylight-saving box, which the time conversions use.
    bool daylightSaving() const;

    frmadoHelper& helper() { return m_helper; }
    // Runs the listing's and the save's database steps off this window's thread.
    DatabaseWorker& databaseWorker() { return *m_worker; }
    bool isSaving() const { return m_saving; }
    // The listed rows with the ends changed in the grid and not saved yet.
    ItemTableModel& items() { return *m_items; }
    // A listing or a save is under way.
    bool isBusy() const;

signals:
    // The program is to end now (close icon, missing store identifier).
    void programEnded();
    // The listing routine has begun.
    void listingStarted();
    // A save is over: its report shown, the table listed again or its unsaved
    // ends marked.
    void saveEnded();
    // The database confirmed a row of the running save (grid row).
    void rowSaved(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Which kind of window of the program was active before this one.
    enum class ActiveBefore
    {
        Nothing,
        ThisWindow,
        OtherWindow,
        TransientWindow
    };

    // Event handlers.
    void Form_Activate();
    void Form_DblClick();
    // Lists the items again (the timer itself never ticks).
    void Timer1_Timer();
    void Command1_Click();
    void Command2_Click();
    void Flex_Click();
    void Flex_Scroll();
    void cmdSave_Click();
    void Check4_Click();
    // Puts the window back on top of the others.
    void timerx_Timer();
    void chkDayLight_Click();
    void Image1_Click();
    void cmdStop_Click();
    void cmdUndoSave_Click();
    // "Undo last save", or "Redo last save" when the last save was an undo.
    void updateUndoCaption();

    // Asks before a listing throws unsaved ends away; false keeps them (and
    // the listing is not to run).
    bool confirmDiscardPending();
    // The grid's pending ends and the restored ends still waiting for a listing
    // (a listing never discards those: it may show their items).
    int unsavedCount() const;

    // The controls only the window itself uses.
    QTimer* Timer1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblBuild = nullptr;
    QFrame* Line1_1 = nullptr;
    QFrame* Line1_2 = nullptr;

    void createControls();
    // The grid's editor, scrolling, row selection and menu.
    void setUpGrid(const std::function<QDateTime()>& now);
    void setTabOrderByIndex();
    void place(QWidget* control, const char* name, double left, double top, double width,
               double height, bool hasFont = true);
    void applyWindowGeometry();
    void centreOnScreen();

    void writeProgressWord(const QString& word);
    void reportProgressFailure(const QString& reason);
    void readInstallationSettings();
    void showVersion();
    void stretchToScreen();
    QWidget* messageParent();

    void windowActivated(QWidget* window);
    // Whether the program may end now: unsaved ends are offered for saving first.
    bool mayEnd();
    void undoEnd();
    void showGridMenu(const QPoint& position);
    void openSetEnds(const QVector<int>& rows);
    void showUnsavedCount(int count);
    // Keeps the status line over the grid up to date with listings, filters and edits.
    void setUpStatusLine();
    // The status line over the grid: what the last save did, what the grid
    // shows, or that REFRESH will apply a filter chosen since.
    void updateStatus();
    // A changed end ends the last save's note.
    void gridEndsChanged(const QModelIndex& topLeft);

    // Runs a save on the database worker: `run` writes with a saver it has
    // prepared with the given function. `rowsToWrite`: the grid rows it may write.
    using SaveRun = std::function<AuctionSaveReport(
        DataControl& control, const std::function<void(AuctionSaver&)>& prepare)>;
    void startSave(bool undo, const QVector<int>& rowsToWrite, SaveRun run);
    // Ends the running save without waiting for its report any more.
    void giveUpSave();
    void saveDone(const AuctionSaveReport& report);
    void listingFinished();
    void updateBusyState();

    // The keyboard: keys of the whole window (undo, redo, list, save) and of
    // the grid (open the end editor); focus back to the grid after the work.
    void setUpKeys();
    bool windowKey(QObject* watched, QEvent* event);
    void redoEnd();
    void openEditorByKey();
    void rememberGridSpot();
    void focusGrid();
    // A control that lost its focus by being disabled hands it to the window,
    // not to whichever control follows it (the daylight box would take Space).
    void keepFocusOffDisabled(QWidget* focused);

    frmadoHelper& m_helper;
    std::unique_ptr<DatabaseWorker> m_worker;
    // The grid's current cell and its item when a save's listing began: the
    // grid comes back to them.
    struct GridSpot
    {
        int row = -1;
        int column = 0;
        std::optional<qint64> itemId;
        std::optional<QString> store;
    };
    GridSpot m_gridSpot;
    ItemListing* m_listing = nullptr;
    QShortcut* m_stopKey = nullptr;
    // The running save: rows it would write, rows confirmed so far, its stop flag.
    bool m_saving = false;
    quint64 m_saveGeneration = 0;
    QVector<int> m_rowsToWrite;
    QVector<std::pair<int, qint32>> m_savedSoFar;
    // The running save's state: running, asked to stop, given up.
    std::shared_ptr<std::atomic<int>> m_stopSave;
    bool m_undoing = false; // the running save undoes the last one
    std::pair<int, int> m_barRangeBeforeSave{0, 100};
    int m_barValueBeforeSave = 0;
    // A save's report, shown once the table is listed again.
    QString m_reportAfterListing;
    bool m_reportIsWarning = true;
    bool m_listingAfterSave = false;
    AuctionEditor* m_editor = nullptr;
    ItemTableModel* m_items = nullptr;
    QLabel* m_unsavedLabel = nullptr;
    QLabel* m_statusLabel = nullptr;
    // What the last save or undo did, shown until the clerk's next action.
    QString m_savedNote;
    // The unsaved ends on the disk, and those a crashed run left behind.
    UnsavedEndsKeeper* m_unsavedEnds = nullptr;
    // The clerk chose to save before closing: the program ends if the save succeeds.
    bool m_endAfterSave = false;
    const Clock* m_clock;
    DesignLayout m_layout;
    std::unique_ptr<frmLOGO> m_logo;

    double m_windowLeftTwips = 0;
    double m_windowWidthTwips = 0;
    int m_windowTopPixels = 0;

    bool m_progressFailureShown = false;
    bool m_everActivated = false;
    ActiveBefore m_activeBefore = ActiveBefore::Nothing;
};
