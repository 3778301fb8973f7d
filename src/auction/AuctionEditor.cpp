#include "auction/AuctionEditor.h"

#include "auction/frmVESKauction.h"
#include "timeconv/Clock.h"
#include "timeconv/UnixTime.h"
#include "windows/MessageBox.h"

#include <QDateEdit>
#include <QDateTimeEdit>
#include <QEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>

namespace {
constexpr int kStampColumn = 5;
constexpr int kDateColumn = 6;
constexpr int kTimeColumn = 7;

const QString kDateFormat = QStringLiteral("MMM-d-yyyy");
const QString kTimeFormat = QStringLiteral("HH:mm:00");

// The time picker holds a time of day on day 0 of the day count, in UTC so that
// it is the wall time as picked.
const QDate kDayZero(1899, 12, 30);

void setCellText(QTableWidget* grid, int row, int column, const QString& text)
{
    if (QTableWidgetItem* item = grid->item(row, column))
        item->setText(text);
    else
        grid->setItem(row, column, new QTableWidgetItem(text));
}

QString cellText(const QTableWidget* grid, int row, int column)
{
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
}
} // namespace

QVector<AuctionRow> auctionRows(const QTableWidget& grid)
{
    QVector<AuctionRow> rows;
    rows.reserve(grid.rowCount());
    for (int r = 0; r < grid.rowCount(); ++r) {
        AuctionRow row;
        if (const QTableWidgetItem* item = grid.item(r, 0)) {
            row.idText = item->text();
            const QVariant store = item->data(Qt::UserRole);
            row.storeListed = store.isValid();
            if (!store.isNull())
                row.listedStore = store.toString();
        }
        if (const QTableWidgetItem* stamp = grid.item(r, kStampColumn)) {
            row.stampText = stamp->text();
            const QVariant listed = stamp->data(Qt::UserRole);
            if (!listed.isNull())
                row.listedStamp = listed.toLongLong();
        }
        rows << row;
    }
    return rows;
}

namespace {
// The state colour a marked cell had, given back once the row is saved.
constexpr int kColourBeforeMarkRole = Qt::UserRole + 1;
const QColor kNotSavedColour(255, 165, 0);
} // namespace

void markRowNotSaved(QTableWidget& grid, int row)
{
    for (int column = kStampColumn; column <= kTimeColumn; ++column) {
        QTableWidgetItem* item = grid.item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            grid.setItem(row, column, item);
        }
        if (!item->data(kColourBeforeMarkRole).isValid())
            item->setData(kColourBeforeMarkRole, item->background());
        item->setBackground(kNotSavedColour);
        item->setToolTip(QObject::tr("Not saved yet"));
    }
}

bool isRowMarkedNotSaved(const QTableWidget& grid, int row)
{
    const QTableWidgetItem* item = grid.item(row, kStampColumn);
    return item && item->data(kColourBeforeMarkRole).isValid();
}

void markRowSaved(QTableWidget& grid, int row, qint32 stamp)
{
    if (QTableWidgetItem* item = grid.item(row, kStampColumn))
        item->setData(Qt::UserRole, qint64(stamp));
    for (int column = kStampColumn; column <= kTimeColumn; ++column) {
        QTableWidgetItem* item = grid.item(row, column);
        if (!item || !item->data(kColourBeforeMarkRole).isValid())
            continue;
        item->setBackground(item->data(kColourBeforeMarkRole).value<QBrush>());
        item->setData(kColourBeforeMarkRole, QVariant());
        item->setToolTip(QString());
    }
}

AuctionEditor::AuctionEditor(frmVESKauction& window)
    : QObject(&window), m_window(window), m_viewport(window.Flex->viewport())
{
    m_viewport->installEventFilter(this);
}

bool AuctionEditor::isOpen() const
{
    return m_window.dtDate->isVisible() || m_window.dtTime->isVisible() ||
           m_window.cmdSave->isVisible();
}

bool AuctionEditor::eventFilter(QObject* watched, QEvent* event)
{
    // Only the stored viewport: this also runs while the window is being torn down.
    if (watched == m_viewport) {
        // The grid makes the pressed cell current before the release arrives.
        if (event->type() == QEvent::MouseButtonPress) {
            m_pressed = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            m_pressed = false;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const bool click =
                m_pressed && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
            m_pressed = false;
            if (click)
                emit gridClicked();
        }
    }
    return QObject::eventFilter(watched, event);
}

void AuctionEditor::gridClick()
{
    close();
    if (m_window.Flex->currentRow() >= 0 && m_window.Flex->currentColumn() == kStampColumn)
        open();
}

void AuctionEditor::gridScrolled()
{
    m_window.dtDate->hide();
    m_window.dtTime->hide();
}

void AuctionEditor::close()
{
    m_window.dtDate->hide();
    m_window.dtTime->hide();
    m_window.cmdSave->hide();
}

void AuctionEditor::setCurrentColumn(int column)
{
    QTableWidget* grid = m_window.Flex;
    // Changing the current cell from code must not move the grid under the editor.
    const bool autoScroll = grid->hasAutoScroll();
    grid->setAutoScroll(false);
    grid->setCurrentCell(grid->currentRow(), column);
    grid->setAutoScroll(autoScroll);
}

void AuctionEditor::open()
{
    frmVESKauction& w = m_window;
    QTableWidget* grid = w.Flex;
    const int row = grid->currentRow();
    const int column = grid->currentColumn();

    // The current cell relative to the grid, in twips.
    const QRect viewport = grid->viewport()->geometry();
    const double cellLeft = w.pixelsToTwipsX(viewport.x() + grid->columnViewportPosition(column));
    const double cellTop = w.pixelsToTwipsY(viewport.y() + grid->rowViewportPosition(row));
    const double cellWidth = w.pixelsToTwipsX(grid->columnWidth(column));
    // The right edge of what the grid shows of its cells (scroll bar excluded).
    const double gridWidth = w.pixelsToTwipsX(viewport.x() + viewport.width());
    const frmVESKauction::TwipsRect gridRect = w.twipsGeometry(grid);

    double width = -1;
    if (gridWidth < cellLeft + cellWidth)
        width = gridWidth - cellLeft;
    else if (cellWidth > 0)
        width = cellWidth;

    const auto placeOverCell = [&](QWidget* control, double dx, double dy) {
        frmVESKauction::TwipsRect rect = w.twipsGeometry(control);
        if (width > 0)
            rect.width = width;
        rect.left = gridRect.left + cellLeft + dx;
        rect.top = gridRect.top + cellTop + dy;
        w.setTwipsGeometry(control, rect);
        control->show();
        control->raise();
    };
    placeOverCell(w.dtDate, 100, 0);
    w.dtDate->setFocus();
    placeOverCell(w.dtTime, 200, 350);
    placeOverCell(w.cmdSave, 200, 750);

    const QDateTime now = w.clock().now();
    w.dtDate->setDate(now.date().addDays(7));
    const QTime timeOfDay = now.time();
    w.dtTime->setDateTime(QDateTime(
        kDayZero, QTime(timeOfDay.hour(), timeOfDay.minute(), timeOfDay.second()), Qt::UTC));

    // The cells hold this program's own texts; anything else leaves the default.
    const QLocale locale;
    setCurrentColumn(kDateColumn);
    const QString dateText = cellText(grid, row, kDateColumn);
    if (!dateText.isEmpty()) {
        const QDate date = locale.toDate(dateText, kDateFormat);
        if (date.isValid())
            w.dtDate->setDate(date);
    }
    setCurrentColumn(kTimeColumn);
    const QString timeText = cellText(grid, row, kTimeColumn);
    if (!timeText.isEmpty()) {
        const QTime time = locale.toTime(timeText, kTimeFormat);
        if (time.isValid())
            w.dtTime->setDateTime(QDateTime(kDayZero, time, Qt::UTC));
    }
}

void AuctionEditor::apply()
{
    frmVESKauction& w = m_window;
    QTableWidget* grid = w.Flex;
    const int row = grid->currentRow();
    if (row < 0) {
        close();
        return;
    }
    const QDate date = w.dtDate->date();
    const QTime time = w.dtTime->time();
    // Day number plus fraction of the day: the store's clock is a fixed offset
    // from UTC, so no time zone of this machine takes part.
    const double local = double(kDayZero.daysTo(date)) + time.msecsSinceStartOfDay() / 86400000.0;
    const bool daylightSaving = w.daylightSaving();
    const QLocale locale;
    // Such an end would be stored as a stamp of a few hours after 1970.
    if (!hasUnixStamp(local, daylightSaving)) {
        MessageBox::warning(
            &w, tr("An auction end of %1 %2 cannot be stored: the item database keeps auction "
                   "ends only from Dec-13-1901 20:45:52 to Jan-18-2038 %3.\n\nPlease pick "
                   "another date.")
                    .arg(locale.toString(date, kDateFormat), locale.toString(time, "HH:mm:ss"),
                         daylightSaving ? QStringLiteral("23:14:07") : QStringLiteral("22:14:07")));
        return;
    }
    const qint32 stamp = veskTOunix(local, daylightSaving);

    setCurrentColumn(kStampColumn);
    setCellText(grid, row, kStampColumn, QString::number(stamp));
    setCurrentColumn(kDateColumn);
    setCellText(grid, row, kDateColumn, locale.toString(date, kDateFormat));
    setCurrentColumn(kTimeColumn);
    setCellText(grid, row, kTimeColumn, locale.toString(time, kTimeFormat));
    close();
}
