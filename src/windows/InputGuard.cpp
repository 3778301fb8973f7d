#include "windows/InputGuard.h"

#include "windows/MessageBox.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace {
bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control;
}

bool hasControl(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(), isControl);
}

// Keys whose text is a control character but that edit or leave the box, and
// shortcuts (Ctrl+V comes with a control character as its text).
bool isEditingKey(const QKeyEvent* key)
{
    if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return true;
    switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
        return true;
    default:
        return false;
    }
}
} // namespace

InputGuard* InputGuard::install(QLineEdit* box, const QString& boxName, int maxLength)
{
    return new InputGuard(box, boxName, maxLength);
}

InputGuard::InputGuard(QLineEdit* box, QString boxName, int maxLength)
    : QObject(box), m_box(box), m_boxName(std::move(boxName)), m_maxLength(maxLength),
      m_accepted(box->text()), m_acceptedCursor(box->cursorPosition())
{
    box->installEventFilter(this);
    connect(box, &QLineEdit::textChanged, this, &InputGuard::textChanged);
    // The cursor moves after the text changed: its place before a refused edit
    // is still the one kept here.
    connect(box, &QLineEdit::cursorPositionChanged, this, [this](int, int position) {
        if (!m_reverting && m_box->text() == m_accepted)
            m_acceptedCursor = position;
    });
}

QString InputGuard::refusal(const QString& text) const
{
    if (hasControl(text))
        return tr("The %1 box does not take control characters (NUL, tab, line break and the "
                  "like).")
            .arg(m_boxName);
    // Characters as the database counts them, not UTF-16 units.
    const qsizetype length = text.toUcs4().size();
    if (length > m_maxLength)
        return tr("The %1 box takes at most %2 characters; this text has %3.")
            .arg(m_boxName)
            .arg(m_maxLength)
            .arg(length);
    return {};
}

bool InputGuard::eventFilter(QObject* watched, QEvent* event)
{
    // The box drops a typed control character without a word: refuse it here.
    if (watched == m_box && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!isEditingKey(key) && hasControl(key->text())) {
            refuse(refusal(key->text()));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void InputGuard::textChanged(const QString& text)
{
    if (m_reverting)
        return;
    const QString why = refusal(text);
    if (why.isEmpty()) {
        m_accepted = text;
        return;
    }
    m_reverting = true;
    m_box->setText(m_accepted);
    m_box->setCursorPosition(m_acceptedCursor);
    m_reverting = false;
    refuse(why);
}

void InputGuard::refuse(const QString& why)
{
    MessageBox::warning(m_box->isVisible() ? m_box->window() : nullptr,
                        why + QLatin1Char(' ') + tr("The box keeps its text as it was."));
}
