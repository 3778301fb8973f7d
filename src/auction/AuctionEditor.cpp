#include "auction/AuctionEditor.h"

#include "auction_core/AuctionGrid.h"
#include "auction_core/ItemTableModel.h"
#include "timeconv/StoreClock.h"
#include "timeconv/TypedEnd.h"
#include "timeconv/UnixTime.h"
#include "timeconv/UsDaylightSaving.h"
#include "windows/DesignLayout.h"
#include "windows/MessageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>

using namespace auctiongrid;

namespace {

// Under cmdSave (at +750, 255 high), clear of the three design controls.
constexpr double kTypedTop = 1050;
constexpr double kTypedHeight = 345;

// The time picker holds a time of day on day 0 of the day count, in UTC so that
// it is the wall time as picked.
const QDate kDayZero(1899, 12, 30);

// Day number plus fraction of the day: the store's clock is a fixed offset
// from UTC, so no time zone of this machine takes part.
double wallDays(const QDate& date, const QTime& time)
{
    return double(kDayZero.daysTo(date)) + time.msecsSinceStartOfDay() / 86400000.0;
}

} // namespace

AuctionEditor::AuctionEditor(const Controls& controls, QObject* parent)
    : QObject(parent), m_ui(controls), m_viewport(controls.Flex->viewport()),
      m_typed(new QLineEdit(controls.window)), m_typedResult(new QLabel(controls.window))
{
    m_viewport->installEventFilter(this);
    m_typed->setObjectName(QStringLiteral("txtTypedEnd"));
    m_typed->setPlaceholderText(tr("or type: Dec-24-2026 20:00, +7d, fri 20:00"));
    m_typed->setToolTip(m_typed->placeholderText());
    m_typed->hide();
    m_typedResult->setObjectName(QStringLiteral("lblTypedEnd"));
    m_typedResult->setAutoFillBackground(true);
    m_typedResult->setFrameShape(QFrame::Box);
    m_typedResult->setMargin(1);
    m_typedResult->setTextFormat(Qt::PlainText);
    m_typedResult->setWordWrap(true);
    m_typedResult->hide();
    QWidget::setTabOrder(m_ui.cmdSave, m_typed);
    connect(m_typed, &QLineEdit::textEdited, this, &AuctionEditor::typedEndEdited);
    for (QObject* control : {static_cast<QObject*>(m_typed), static_cast<QObject*>(m_ui.dtDate),
                             static_cast<QObject*>(m_ui.dtTime)})
        control->installEventFilter(this);
    m_ui.cmdSave->installEventFilter(this); // Esc closes the editor there too
}

bool AuctionEditor::isOpen() const
{
    return m_ui.dtDate->isVisible() || m_ui.dtTime->isVisible() || m_ui.cmdSave->isVisible() ||
           m_typed->isVisible();
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
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const bool click = m_pressed && mouse->button() == Qt::LeftButton;
            m_pressed = false;
            // Shift and Ctrl clicks extend the selection of rows rather than edit one.
            m_extending = (mouse->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) != 0;
            if (click)
                emit gridClicked();
        }
    } else if (event->type() == QEvent::KeyPress &&
               (watched == m_typed || watched == m_ui.dtDate || watched == m_ui.dtTime ||
                watched == m_ui.cmdSave)) {
        // Esc reaches here only when no database wait claims it for its stop.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            close();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (auto* picker = qobject_cast<QAbstractSpinBox*>(watched))
                picker->interpretText();
            // Not while a save runs: it disables cmdSave and reads the grid.
            if (m_ui.cmdSave->isEnabled())
                m_ui.cmdSave->click();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

int AuctionEditor::currentRow() const
{
    return m_ui.Flex->currentIndex().row();
}

void AuctionEditor::gridClick()
{
    close();
    if (!m_extending && currentRow() >= 0 && m_ui.Flex->currentIndex().column() == kStampColumn)
        open();
}

void AuctionEditor::openOnCurrentRow()
{
    close();
    const int row = currentRow();
    if (row < 0)
        return;
    // Scrolled into view first: the editor opens over the cell where it shows.
    m_ui.Flex->setCurrentIndex(m_ui.model->index(row, kStampColumn));
    open();
}

void AuctionEditor::focusGridFromEditor()
{
    const QWidget* focus = QApplication::focusWidget();
    if (!focus)
        focus = m_ui.Flex->window()->focusWidget();
    for (QWidget* part : {static_cast<QWidget*>(m_ui.dtDate), static_cast<QWidget*>(m_ui.dtTime),
                          static_cast<QWidget*>(m_ui.cmdSave), static_cast<QWidget*>(m_typed)}) {
        if (focus && (focus == part || part->isAncestorOf(focus))) {
            m_ui.Flex->setFocus();
            return;
        }
    }
}

void AuctionEditor::gridScrolled()
{
    focusGridFromEditor();
    m_ui.dtDate->hide();
    m_ui.dtTime->hide();
    m_typed->hide();
    m_typed->clear();
    m_typedResult->hide();
}

void AuctionEditor::close()
{
    gridScrolled();
    m_ui.cmdSave->hide();
}

void AuctionEditor::showTypedResult(const QString& text, bool refused)
{
    m_typedResult->setText(text);
    QPalette palette = m_typedResult->palette();
    palette.setColor(QPalette::WindowText, refused ? QColor(Qt::red) : QColor(Qt::black));
    palette.setColor(QPalette::Window, QColor(255, 255, 225));
    m_typedResult->setPalette(palette);
    // As wide as its longest line, wrapped where the window ends (or, close to
    // its right edge, at twice the text box's width).
    const int frame = 2 * (m_typedResult->margin() + m_typedResult->frameWidth()) + 4;
    int wanted = 0;
    for (const QString& line : text.split(u'\n'))
        wanted = std::max(wanted, m_typedResult->fontMetrics().horizontalAdvance(line) + frame);
    const int inWindow = m_ui.window->width() - 8;
    const int room = std::max(inWindow + 4 - m_typed->x(), 2 * m_typed->width());
    const int width = std::min({std::max(wanted, m_typed->width()), room, inWindow});
    m_typedResult->resize(width, m_typedResult->heightForWidth(width));
    m_typedResult->move(std::max(4, std::min(m_typed->x(), inWindow + 4 - width)),
                        m_typed->geometry().bottom() + 1);
    m_typedResult->show();
    m_typedResult->raise();
}

void AuctionEditor::typedEndEdited()
{
    // Not while a save runs: it has disabled the grid and the apply button.
    const bool idle = m_ui.Flex->isEnabled();
    if (m_typed->text().trimmed().isEmpty()) {
        m_typedResult->hide();
        m_ui.cmdSave->setEnabled(idle);
        return;
    }
    const TypedEnd end = parseTypedEnd(m_typed->text(), m_ui.now());
    m_ui.cmdSave->setEnabled(idle && end.isValid());
    if (!end.isValid()) {
        showTypedResult(end.error, true);
        return;
    }
    m_ui.dtDate->setDate(end.date);
    if (end.time.isValid())
        m_ui.dtTime->setDateTime(QDateTime(kDayZero, end.time, Qt::UTC));
    const QLocale locale;
    showTypedResult(locale.toString(m_ui.dtDate->date(), QStringLiteral("ddd MMM-d-yyyy ")) +
                        locale.toString(m_ui.dtTime->time(), QStringLiteral("HH:mm")),
                    false);
}

void AuctionEditor::setCurrentColumn(int column)
{
    QTableView* grid = m_ui.Flex;
    // Changing the current cell from code must not move the grid under the editor.
    const bool autoScroll = grid->hasAutoScroll();
    grid->setAutoScroll(false);
    grid->setCurrentIndex(m_ui.model->index(currentRow(), column));
    grid->setAutoScroll(autoScroll);
}

void AuctionEditor::open()
{
    QTableView* grid = m_ui.Flex;
    const Twips& twips = m_ui.layout->twips();
    const int row = currentRow();
    const int column = grid->currentIndex().column();

    // The current cell relative to the grid, in twips.
    const QRect viewport = grid->viewport()->geometry();
    const double cellLeft = twips.toTwipsX(viewport.x() + grid->columnViewportPosition(column));
    const double cellTop = twips.toTwipsY(viewport.y() + grid->rowViewportPosition(row));
    const double cellWidth = twips.toTwipsX(grid->columnWidth(column));
    // The right edge of what the grid shows of its cells (scroll bar excluded).
    const double gridWidth = twips.toTwipsX(viewport.x() + viewport.width());
    const TwipsRect gridRect = m_ui.layout->geometry(grid);

    double width = -1;
    if (gridWidth < cellLeft + cellWidth)
        width = gridWidth - cellLeft;
    else if (cellWidth > 0)
        width = cellWidth;

    const auto placeOverCell = [&](QWidget* control, double dx, double dy) {
        TwipsRect rect = m_ui.layout->geometry(control);
        if (width > 0)
            rect.width = width;
        rect.left = gridRect.left + cellLeft + dx;
        rect.top = gridRect.top + cellTop + dy;
        m_ui.layout->setGeometry(control, rect);
        control->show();
        control->raise();
    };
    placeOverCell(m_ui.dtDate, 100, 0);
    // Wider than a narrow cell where the date would lose its year.
    if (m_ui.dtDate->width() < m_ui.dtDate->sizeHint().width())
        m_ui.dtDate->resize(m_ui.dtDate->sizeHint().width(), m_ui.dtDate->height());
    m_ui.dtDate->setFocus();
    placeOverCell(m_ui.dtTime, 200, 350);
    placeOverCell(m_ui.cmdSave, 200, 750);
    // Wide enough for a typed date and time even over a narrow cell.
    const double typedWidth = twips.toTwipsX(
        m_typed->fontMetrics().horizontalAdvance(QStringLiteral("Dec-24-2026 20:00:00")) + 12);
    m_ui.layout->setGeometry(m_typed,
                             {gridRect.left + cellLeft + 200, gridRect.top + cellTop + kTypedTop,
                              std::max(width > 0 ? width : 0.0, typedWidth), kTypedHeight});
    m_typed->clear();
    m_typed->show();
    m_typed->raise();
    m_ui.cmdSave->setEnabled(grid->isEnabled());
    pickRowEnd(row);
}

void AuctionEditor::pickRowEnd(int row)
{
    const QDateTime now = m_ui.now();
    m_ui.dtDate->setDate(now.date().addDays(7));
    const QTime timeOfDay = now.time();
    m_ui.dtTime->setDateTime(QDateTime(
        kDayZero, QTime(timeOfDay.hour(), timeOfDay.minute(), timeOfDay.second()), Qt::UTC));

    // The row's end to the minute, on the clock it was set on; a row without one
    // leaves the default.
    setCurrentColumn(kDateColumn);
    setCurrentColumn(kTimeColumn);
    const QDateTime shown = rowEnd(row);
    m_openedStamp = shown.isValid() ? m_ui.model->shownEnd(row).stamp : std::nullopt;
    m_openedWall = shown;
    if (shown.isValid()) {
        m_ui.dtDate->setDate(shown.date());
        m_ui.dtTime->setDateTime(QDateTime(kDayZero, shown.time(), Qt::UTC));
        // Said under the text box: the grid shows a marked end on the other clock.
        const EndOnClocks clocks = endOnClocks(*m_openedStamp, m_ui.chkDayLight->isChecked());
        if (clocks.otherSide) {
            const QLocale locale;
            const QString own = locale.toString(shown.time(), QStringLiteral("HH:mm"));
            const QString grid = locale.toString(clocks.onBox.time(), QStringLiteral("HH:mm"));
            showTypedResult(clocks.ownSummerTime
                                ? tr("As set: %1 summer time (%2 in the grid)").arg(own, grid)
                                : tr("As set: %1 winter time (%2 in the grid)").arg(own, grid),
                            false);
        }
    }
}

bool AuctionEditor::unchangedSinceOpened(int row) const
{
    return m_openedStamp && m_ui.model->shownEnd(row).stamp == m_openedStamp &&
           m_ui.dtDate->date() == m_openedWall.date() && m_ui.dtTime->time() == m_openedWall.time();
}

void AuctionEditor::apply()
{
    const int row = currentRow();
    if (row < 0) {
        close();
        return;
    }
    // A typed text that is no end changes nothing; one that is, the pickers already show.
    if (m_typed->isVisible() && !m_typed->text().trimmed().isEmpty()) {
        const TypedEnd typed = parseTypedEnd(m_typed->text(), m_ui.now());
        if (!typed.isValid()) {
            showTypedResult(typed.error, true);
            return;
        }
    }
    // Applied as opened, the end keeps its stamp, whichever clock it shows on.
    if (unchangedSinceOpened(row)) {
        close();
        return;
    }
    const QDate date = m_ui.dtDate->date();
    const QTime time = m_ui.dtTime->time();
    const std::optional<bool> chosen = chooseDaylightSaving(date, time);
    if (!chosen)
        return;
    const bool daylightSaving = *chosen;
    if (!storable(date, time, daylightSaving))
        return;
    const qint32 stamp = veskTOunix(wallDays(date, time), daylightSaving);
    if (!mayEndInPast(stamp, date, time))
        return;

    setCurrentColumn(kStampColumn);
    setCurrentColumn(kDateColumn);
    setCurrentColumn(kTimeColumn);
    m_ui.model->setEnd(row, stamp, QDateTime(date, time, Qt::UTC));
    close();
}

bool AuctionEditor::setEnds(const QVector<int>& rows, const QDate& date, const QTime& time,
                            int stepMinutes)
{
    close();
    const bool box = m_ui.chkDayLight->isChecked();
    // Wall times of the store's clock, one step apart.
    const QDateTime start(date, time, Qt::UTC);
    QVector<QDateTime> ends;
    for (int i = 0; i < rows.size(); ++i)
        ends << start.addSecs(qint64(i) * stepMinutes * 60);
    // One question for all the ends, on the first whose daylight saving
    // differs from the box: Yes gives every end the offset of its own date.
    bool ownOffsets = false;
    for (const QDateTime& end : std::as_const(ends)) {
        if (usDaylightSaving(end.date(), end.time()) == box)
            continue;
        const std::optional<bool> chosen = chooseDaylightSaving(end.date(), end.time());
        if (!chosen)
            return false;
        ownOffsets = *chosen != box;
        break;
    }
    QVector<qint32> stamps;
    for (const QDateTime& end : std::as_const(ends)) {
        const bool daylightSaving = ownOffsets ? usDaylightSaving(end.date(), end.time()) : box;
        if (!storable(end.date(), end.time(), daylightSaving))
            return false;
        stamps << veskTOunix(wallDays(end.date(), end.time()), daylightSaving);
    }
    // The first end is the earliest: the step is never negative.
    if (!stamps.isEmpty() &&
        !mayEndInPast(stamps.first(), ends.first().date(), ends.first().time()))
        return false;
    // One step: Ctrl+Z takes the whole fill-down back.
    QVector<ItemTableModel::NewEnd> newEnds;
    for (int i = 0; i < rows.size(); ++i)
        newEnds.append({rows.at(i), stamps.at(i), ends.at(i)});
    m_ui.model->setEnds(newEnds);
    return true;
}

bool AuctionEditor::storable(const QDate& date, const QTime& time, bool daylightSaving)
{
    // Such an end would be stored as a stamp of a few hours after 1970.
    if (hasUnixStamp(wallDays(date, time), daylightSaving))
        return true;
    const QLocale locale;
    MessageBox::warning(
        m_ui.window,
        tr("An auction end of %1 %2 cannot be stored: the item database keeps auction "
           "ends only from Dec-13-1901 20:45:52 to Jan-18-2038 %3.\n\nPlease pick "
           "another date.")
            .arg(locale.toString(date, kDateFormat), locale.toString(time, "HH:mm:ss"),
                 daylightSaving ? QStringLiteral("23:14:07") : QStringLiteral("22:14:07")));
    return false;
}

QDateTime AuctionEditor::rowEnd(int row) const
{
    if (row < 0 || row >= m_ui.model->rowCount())
        return QDateTime();
    const std::optional<qint64> stamp = m_ui.model->shownEnd(row).stamp;
    if (!stamp)
        return QDateTime();
    const QDateTime wall = endOnClocks(*stamp, m_ui.chkDayLight->isChecked()).ownWall;
    if (!wall.isValid())
        return QDateTime();
    const QTime time = wall.time();
    return QDateTime(wall.date(), QTime(time.hour(), time.minute()), Qt::UTC);
}

std::optional<bool> AuctionEditor::chooseDaylightSaving(const QDate& date, const QTime& time)
{
    const bool box = m_ui.chkDayLight->isChecked();
    const bool onThatDay = usDaylightSaving(date, time);
    if (onThatDay == box)
        return box;
    switch (MessageBox::question(m_ui.window, daylightQuestion(date, time, onThatDay),
                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return onThatDay;
    case QMessageBox::No:
        return box;
    default:
        return std::nullopt;
    }
}

// In the store's words: what each answer sets and how the row will show it.
QString AuctionEditor::daylightQuestion(const QDate& date, const QTime& time, bool summerTime) const
{
    const QLocale locale;
    const auto clockText = [&](const QDateTime& wall) {
        return (wall.date() == date ? QString() : locale.toString(wall.date(), kDateFormat) + ' ') +
               locale.toString(wall.time(), "HH:mm");
    };
    const QString picked = clockText(QDateTime(date, time, Qt::UTC));
    const auto clockName = [](bool summer) {
        return summer ? tr("summer time") : tr("winter time");
    };
    const QString own = clockName(summerTime);
    const QString grid = clockName(!summerTime);
    QString text =
        (summerTime ? tr("%1 %2 falls in summer time, but the daylight box is not ticked, so "
                         "the grid shows winter time.")
                    : tr("%1 %2 falls in winter time, but the daylight box is ticked, so the "
                         "grid shows summer time."))
            .arg(locale.toString(date, kDateFormat), picked) +
        "\n\n";
    const double wall = wallDays(date, time);
    if (!hasUnixStamp(wall, summerTime) || !hasUnixStamp(wall, !summerTime))
        return text + tr("Yes: the auction ends at %1 %2.\nNo: the auction ends at %1 %3, an "
                         "hour off.\nCancel: change nothing.")
                          .arg(picked, own, grid);
    // Where Yes shows on the grid's clock, and when No really ends the auction.
    const EndOnClocks yes = endOnClocks(veskTOunix(wall, summerTime), !summerTime);
    const EndOnClocks no = endOnClocks(veskTOunix(wall, !summerTime), !summerTime);
    return text + tr("Yes: the auction ends at %1 %2, as picked; the grid shows it as %3, "
                     "marked as %2.\nNo: the auction ends at %1 %4, that is %5: an hour off."
                     "\nCancel: change nothing.")
                      .arg(picked, own, clockText(yes.onBox), grid,
                           clockText(no.ownWall) + ' ' + clockName(no.ownSummerTime));
}

bool AuctionEditor::mayEndInPast(qint32 stamp, const QDate& date, const QTime& time)
{
    const qint32 now = veskTOunix(toDayCount(m_ui.now()), m_ui.chkDayLight->isChecked());
    if (stamp > now)
        return true;
    const QLocale locale;
    const QString end = locale.toString(date, kDateFormat) + ' ' + locale.toString(time, "HH:mm");
    return MessageBox::question(m_ui.window,
                                tr("The end %1 is in the past: the auction would end at once. "
                                   "Set it anyway?")
                                    .arg(end),
                                QMessageBox::Yes | QMessageBox::No, QString(),
                                QMessageBox::No) == QMessageBox::Yes;
}
