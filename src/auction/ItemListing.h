#pragma once

#include "auction_core/ItemRow.h"
#include "auction_core/ListingQuery.h"
#include "data/DatabaseWorker.h"
#include "windows/Twips.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <functional>
#include <optional>

class frmadoHelper;
class QCheckBox;
class QFrame;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QTableView;
class ItemTableModel;
class QWidget;
class ItemPictureDelegate;
class ItemPictures;
class ThumbnailPipeline;
struct Thumbnail;

// The item listing of the main window (the routine behind Timer1): builds the
// statement from the filter controls, runs it on adoKBvesk2 and fills the grid
// model shown in Flex, one row per item, with the pictures of the items.
//
// Listings of up to kImmediatePictures rows have every picture in place when
// they end. Longer ones show their first rows at once, the rest in slices from
// the event loop, and get their pictures afterwards, the rows on screen first.
class ItemListing : public QObject
{
    Q_OBJECT
public:
    // What a listing reads and fills: the window's filter boxes, grid and its
    // rows, progress bar and wait frame, and its twips, clock and stretch factor.
    struct Controls
    {
        QWidget* window = nullptr; // the listing's messages stand over it while it shows
        QTableView* Flex = nullptr;
        ItemTableModel* model = nullptr;
        QProgressBar* Bar = nullptr;
        QFrame* shpWait = nullptr;
        QRadioButton* optPast = nullptr;
        QRadioButton* optCurrent = nullptr;
        QRadioButton* optFree = nullptr;
        QCheckBox* chkLimit = nullptr;
        QLineEdit* txtSearch = nullptr;
        QCheckBox* chkDayLight = nullptr;
        Twips twips{96, 96};
        std::function<QDateTime()> now;
        std::function<float()> screenMultiplier;
    };

    // The statements run on the worker, adoKBvesk2 and the pictures are the helper's.
    ItemListing(const Controls& controls, frmadoHelper& helper, DatabaseWorker& worker,
                QObject* parent = nullptr);
    ~ItemListing() override;

    // Lists the items: the statement runs on the window's database worker and
    // the grid is filled when the rows arrive. A listing requested while one
    // runs does not start inside it: however many come, they make one more
    // listing after the running one.
    void run();
    bool isRunning() const { return m_running; }
    // The statement is with the server.
    bool isWaiting() const { return m_waitingForServer; }
    // Gives up waiting for the server: the grid keeps what it shows.
    void stop();

    // The statement of the last listing as assembled, before translation.
    QString assembledStatement() const { return m_assembled; }
    // Listings run to their end, failed ones included.
    int completedRuns() const { return m_completed; }
    // Rows of the current listing whose picture is still to be looked up or decoded.
    int picturesPending() const;

    // What the grid shows: the filter boxes and search text of the last listing
    // that filled it, and how many rows it got back (-1: none has yet).
    struct Shown
    {
        ListingFilters filters;
        QString search;
        int rows = -1;
    };
    const Shown& shown() const { return m_shown; }

    static constexpr int kImmediatePictures = 50;
    static constexpr qint32 kPictureSize = 1300;

signals:
    // The statement stands in the record source, not yet translated.
    void statementAssembled(const QString& statement);
    // The grid holds every row and the frame is hidden.
    void listed();
    // Every picture of the current listing is in place.
    void picturesComplete();
    // The listing (with any listings requested during it) is over: listed,
    // failed or stopped.
    void finished();
    // The listing started or stopped waiting for the server.
    void waitingChanged(bool waiting);

private:
    struct QueryResult;
    void startOnce();
    bool startReading(const DatabaseWorker::ControlSetup& setup, const QString& statement,
                      bool many);
    void rowsArrived(QVector<ItemRow> rows, int total);
    void queryDone(QueryResult& result);
    void endRun();
    void setWaiting(bool waiting);
    void beginFill();
    void fillRows(int last);
    void fillSlice();
    void setColumnWidths();
    void completeFill();
    void endFill();
    void releaseRows();
    void abandonFill();
    void finishRun();
    void showFailure(const QString& text);
    void letEventsThrough(bool always);
    QWidget* messageParent() const;

    void cancelPictures();
    void lookUpAllPictures();
    void lookUpBatch();
    // Looks the row's picture up; false when the lookups have to stop.
    bool lookUpRow(int row, QStringList* toDecode);
    void pictureDecoded(const QString& path, qint32 picSize, const QImage& image);
    void placePicture(int row, const Thumbnail& thumbnail);
    void prioritizeVisible();
    void reportPictureFailure();
    void checkPicturesComplete();
    std::pair<int, int> visibleRows() const;

    Controls m_ui;
    frmadoHelper& m_helper;
    DatabaseWorker& m_worker;
    // The helper outlives the window, so these stay usable while it goes.
    ItemPictures& m_pictures;
    ThumbnailPipeline& m_pipeline;
    ItemPictureDelegate* m_delegate = nullptr;
    QTimer m_batchTimer;
    QTimer m_fillTimer;
    QElapsedTimer m_sinceEvents;
    QString m_assembled;
    bool m_running = false;
    bool m_again = false;
    bool m_waitingForServer = false;
    bool m_reading = false; // the worker step of the listing runs
    // The "now" and daylight state of the running listing.
    qint32 m_now = 0;
    bool m_daylightSaving = false;
    // The progress bar before the listing, given back when it fails or stops.
    std::pair<int, int> m_barRange{0, 100};
    int m_barValue = 0;
    int m_completed = 0;
    Shown m_shown;
    Shown m_asked; // the running listing's

    // A long listing shows its first rows at once and adds the rest in steps
    // small enough that the window keeps answering between them.
    static constexpr int kFirstRows = 100;
    static constexpr int kRowsPerStep = 2000;

    // The grid being filled from the rows the worker hands on.
    struct Fill
    {
        QVector<QVector<ItemRow>> arrived; // not in the grid yet
        int taken = 0;                     // of the first batch, in the grid
        int count = 0;                     // rows the listing has
        int next = 0;                      // the next row to add
        bool allRead = false;              // the worker step ended
        bool abandoned = false;            // the listing is no longer wanted
        bool anyItemId = false;
        bool anySku = false;
        bool anyDescription = false;
        QElapsedTimer sinceBar;
    };
    Fill m_fill;
    bool m_filling = false;

    // Pictures of the current listing, by grid row.
    QVector<std::optional<qint32>> m_lookUp; // item number still to be looked up
    QVector<QString> m_rowPath;              // the found file of a row waiting for its copy
    QHash<QString, QVector<int>> m_waiting;  // file -> rows waiting for its copy
    int m_nextLookUp = 0;
    int m_lookUpsLeft = 0;
    bool m_picturesActive = false;
    QString m_pictureFailure;
    QImage m_blank; // a found file that is no readable picture
};
