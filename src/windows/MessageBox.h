#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

// <windows.h> defines MessageBox as a macro for MessageBoxW.
#ifdef MessageBox
#undef MessageBox
#endif

class QWidget;

// Every modal message of the program goes through here, so tests can answer
// them without a person at the screen.
class MessageBox
{
public:
    struct Call
    {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString text;
        QString title;
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton; // none: the style's
    };
    using Handler = std::function<QMessageBox::StandardButton(const Call&)>;

    // All three show the text with an OK button only; an empty title shows an
    // empty title bar.
    static QMessageBox::StandardButton information(QWidget* parent, const QString& text,
                                                   const QString& title = QString());
    static QMessageBox::StandardButton warning(QWidget* parent, const QString& text,
                                               const QString& title = QString());
    static QMessageBox::StandardButton critical(QWidget* parent, const QString& text,
                                                const QString& title = QString());

    // A question with the given buttons; the answer is the button pressed (Esc
    // and the close box give Cancel when it is offered).
    static QMessageBox::StandardButton
    question(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons,
             const QString& title = QString(),
             QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // With a handler installed no box is shown: the handler gets the call and
    // gives the answer. An empty handler shows real boxes again.
    static void setTestHandler(Handler handler);

private:
    static QMessageBox::StandardButton show(QWidget* parent, Call call);
};
