#pragma once

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QTime>
#include <QVector>

#include <functional>
#include <optional>

class DesignLayout;
class ItemTableModel;
class QCheckBox;
class QDateEdit;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QWidget;

// The in-place editor of an auction end over the grid's stamp column: the
// pickers dtDate and dtTime with the apply button cmdSave of the window, and
// under them a text box of its own where the end can be typed. It keeps no row
// of its own: it always works on the grid's current row.
class AuctionEditor : public QObject
{
    Q_OBJECT
public:
    // What the editor works on: the grid and its rows (where it sets pending
    // ends), the pickers and their apply button, the daylight box, the window's
    // layout in twips and its clock.
    struct Controls
    {
        QWidget* window = nullptr; // holds the typed-end box; its questions stand over it
        QTableView* Flex = nullptr;
        ItemTableModel* model = nullptr;
        QDateEdit* dtDate = nullptr;
        QDateTimeEdit* dtTime = nullptr;
        QPushButton* cmdSave = nullptr;
        QCheckBox* chkDayLight = nullptr;
        DesignLayout* layout = nullptr;
        std::function<QDateTime()> now;
    };

    explicit AuctionEditor(const Controls& controls, QObject* parent = nullptr);

    // A click in the grid: closes the editor, and opens it on a stamp cell.
    void gridClick();
    // The grid's visible part moved: the pickers no longer sit on their cell.
    void gridScrolled();
    // Writes the picked end into the current row and closes the editor. Refuses
    // (editor left open) a typed text that is no end, and asks before writing an
    // end whose daylight saving differs from the daylight box.
    void apply();

    bool isOpen() const;
    // Opens the editor on the end cell of the grid's current row (Enter, F2).
    void openOnCurrentRow();

    // Writes ends into the rows, the first at the date and time, each next one
    // stepMinutes later, as pending edits; false when the clerk cancels or an
    // end cannot be stored (nothing written then).
    bool setEnds(const QVector<int>& rows, const QDate& date, const QTime& time, int stepMinutes);
    // The end a row shows as the store's wall time (in UTC) on the clock of its
    // own date, to the minute; invalid when it shows none.
    QDateTime rowEnd(int row) const;

signals:
    // A mouse click (press and release) in the grid's cell area.
    void gridClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void close();
    void open();
    // The grid takes the keys back from the editor's controls as they go.
    void focusGridFromEditor();
    // Sets the pickers to the row's end, or a week from now for a row without one.
    void pickRowEnd(int row);
    // Reads the typed text as it changes: the pickers follow it, the result or
    // the reason it is no end shows under it.
    void typedEndEdited();
    void showTypedResult(const QString& text, bool refused);
    // Whether to save the end with the daylight-saving offset: the box's state,
    // or the other one where the clerk chooses it; empty when the clerk cancels.
    std::optional<bool> chooseDaylightSaving(const QDate& date, const QTime& time);
    QString daylightQuestion(const QDate& date, const QTime& time, bool summerTime) const;
    // Asks before an end that is not to come any more; true to set it.
    bool mayEndInPast(qint32 stamp, const QDate& date, const QTime& time);
    // The pickers still show the end the row showed when the editor opened.
    bool unchangedSinceOpened(int row) const;
    // Warns and gives false for an end the item database cannot keep.
    bool storable(const QDate& date, const QTime& time, bool daylightSaving);
    // Moves the current cell along the current row without scrolling the grid.
    void setCurrentColumn(int column);
    int currentRow() const;

    Controls m_ui;
    QObject* m_viewport;
    QLineEdit* m_typed;
    QLabel* m_typedResult;
    bool m_pressed = false;
    bool m_extending = false;
    // The row's end when the editor opened, and the pickers then.
    std::optional<qint64> m_openedStamp;
    QDateTime m_openedWall;
};
