// The auction window: the clerk's keys and where the keyboard focus goes after the work.
#include "auction/frmVESKauction.h"

#include "auction/AuctionEditor.h"
#include "auction/ItemListing.h"
#include "auction_core/ItemTableModel.h"

#include <QKeyEvent>

#include <algorithm>
#include <utility>

namespace {
enum class WindowKey
{
    None,
    Undo,
    Redo,
    List,
    Save,
    OpenEditor
};

// What a key does in the window; Return, Enter and F2 only on the grid.
WindowKey windowKeyOf(const QKeyEvent& event, bool onGrid)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const int key = event.key();
    if (modifiers == Qt::ControlModifier && key == Qt::Key_Z)
        return WindowKey::Undo;
    if ((modifiers == Qt::ControlModifier && key == Qt::Key_Y) ||
        (modifiers == (Qt::ControlModifier | Qt::ShiftModifier) && key == Qt::Key_Z))
        return WindowKey::Redo;
    if (modifiers == Qt::ControlModifier && key == Qt::Key_S)
        return WindowKey::Save;
    if (modifiers == Qt::NoModifier && key == Qt::Key_F5)
        return WindowKey::List;
    if (onGrid && modifiers == Qt::NoModifier &&
        (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_F2))
        return WindowKey::OpenEditor;
    return WindowKey::None;
}
} // namespace

void frmVESKauction::setUpKeys()
{
    // Tab moves on to the next control rather than from cell to cell.
    Flex->setTabKeyNavigation(false);
    // A click ticks the daylight box without handing it the keys, so a later Space
    // cannot tick it back; Tab still reaches it.
    chkDayLight->setFocusPolicy(Qt::TabFocus);
    connect(txtSearch, &QLineEdit::returnPressed, Command2, &QPushButton::click);
    connect(m_listing, &ItemListing::finished, this, &frmVESKauction::focusGrid);
    connect(this, &frmVESKauction::saveEnded, this, &frmVESKauction::focusGrid);
}

// Keys of the whole window act wherever its focus is, even in a text box that
// has an undo of its own; a question or dialog open over the window is a
// window of its own, so they never act behind it. A key does nothing where
// its button would do nothing.
bool frmVESKauction::windowKey(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || (widget != this && !isAncestorOf(widget)))
        return false;
    const WindowKey key = windowKeyOf(*static_cast<QKeyEvent*>(event), widget == Flex);
    if (key == WindowKey::None)
        return false;
    // Claimed before the focused control could take it: it comes back as a key press.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    switch (key) {
    case WindowKey::Undo:
        undoEnd();
        break;
    case WindowKey::Redo:
        redoEnd();
        break;
    case WindowKey::List:
        Command2->click(); // nothing while the button is disabled
        break;
    case WindowKey::Save:
        Command1->click();
        break;
    case WindowKey::OpenEditor:
        openEditorByKey();
        break;
    case WindowKey::None:
        break;
    }
    return true;
}

void frmVESKauction::redoEnd()
{
    if (!m_saving)
        m_items->redo();
}

void frmVESKauction::openEditorByKey()
{
    if (Flex->isEnabled() && Flex->currentIndex().row() >= 0)
        m_editor->openOnCurrentRow();
}

void frmVESKauction::rememberGridSpot()
{
    // A listing asked for during another keeps the spot from before both.
    if (m_listing->isRunning())
        return;
    const QModelIndex current = Flex->currentIndex();
    m_gridSpot = GridSpot();
    // Only the listing after a save comes back to the row: any other is a new
    // list, shown from its top with nothing picked.
    if (!m_listingAfterSave || !current.isValid())
        return;
    const ItemRow& item = m_items->row(current.row());
    m_gridSpot = {current.row(), current.column(), item.itemId, item.store};
}

// The grid takes the focus, after a save's listing on the row of the item the
// clerk was on (or else the row in its place) rather than the last row the
// listing made current. An open editor keeps both: applying writes the row
// the listing left current.
void frmVESKauction::focusGrid()
{
    const GridSpot spot = std::exchange(m_gridSpot, GridSpot());
    if (!Flex->isEnabled() || m_editor->isOpen())
        return;
    const int rows = m_items->rowCount();
    int row = std::min(spot.row, rows - 1);
    if (row < 0) {
        Flex->setFocus();
        return;
    }
    for (int r = 0; r < rows && spot.itemId; ++r) {
        const ItemRow& item = m_items->row(r);
        if (item.itemId == spot.itemId && item.store == spot.store) {
            row = r;
            break;
        }
    }
    Flex->setCurrentIndex(m_items->index(row, spot.column));
    Flex->setFocus();
}

void frmVESKauction::keepFocusOffDisabled(QWidget* focused)
{
    if (focused && focused != this && !focused->isEnabled())
        setFocus();
}
