#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

// Refuses what a text box must not take, with a message rather than without a
// word: control characters (NUL, tab, line breaks and the like), whether typed,
// pasted, dropped or set, and text longer than the box's limit. The box keeps
// its previous text. The box's own maxLength is left alone: it would cut a
// pasted text silently.
class InputGuard : public QObject
{
    Q_OBJECT
public:
    // Guards the box from now on; the guard belongs to the box. boxName is the
    // box's caption as the person at the window knows it.
    static InputGuard* install(QLineEdit* box, const QString& boxName, int maxLength);

    int maxLength() const { return m_maxLength; }
    // Why the box does not take the text; empty when it does.
    QString refusal(const QString& text) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    InputGuard(QLineEdit* box, QString boxName, int maxLength);
    void textChanged(const QString& text);
    void refuse(const QString& why);

    QLineEdit* m_box;
    QString m_boxName;
    int m_maxLength;
    QString m_accepted; // the last text the box took
    int m_acceptedCursor = 0;
    bool m_reverting = false;
};
