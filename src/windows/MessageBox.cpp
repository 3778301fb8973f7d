#include "windows/MessageBox.h"

namespace {
MessageBox::Handler& testHandler()
{
    static MessageBox::Handler handler;
    return handler;
}
} // namespace

QMessageBox::StandardButton MessageBox::information(QWidget* parent, const QString& text,
                                                    const QString& title)
{
    return show(parent, {QMessageBox::Information, text, title, QMessageBox::Ok});
}

QMessageBox::StandardButton MessageBox::warning(QWidget* parent, const QString& text,
                                                const QString& title)
{
    return show(parent, {QMessageBox::Warning, text, title, QMessageBox::Ok});
}

QMessageBox::StandardButton MessageBox::critical(QWidget* parent, const QString& text,
                                                 const QString& title)
{
    return show(parent, {QMessageBox::Critical, text, title, QMessageBox::Ok});
}

QMessageBox::StandardButton MessageBox::question(QWidget* parent, const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 const QString& title,
                                                 QMessageBox::StandardButton defaultButton)
{
    return show(parent, {QMessageBox::Question, text, title, buttons, defaultButton});
}

void MessageBox::setTestHandler(Handler handler)
{
    testHandler() = std::move(handler);
}

QMessageBox::StandardButton MessageBox::show(QWidget* parent, Call call)
{
    // Qt names a window without a title after the program; one blank keeps the
    // title bar empty.
    if (call.title.isEmpty())
        call.title = QStringLiteral(" ");
    if (testHandler())
        return testHandler()(call);
    QMessageBox box(call.icon, call.title, call.text, call.buttons, parent);
    box.setTextFormat(Qt::PlainText);
    if (call.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(call.defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
