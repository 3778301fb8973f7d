#include "windows/Platform.h"

#include <QtGlobal>

#ifdef Q_OS_WIN

#include "windows/win32/Win32Window.h"

#include <QWidget>

namespace Platform {

void setTopmost(QWidget* window, bool on)
{
    if (!window)
        return;
    Win32Window::setTopmost(window->winId(), on);
}

bool isTopmost(const QWidget* window)
{
    if (!window || !window->internalWinId())
        return false;
    return Win32Window::isTopmost(window->internalWinId());
}

} // namespace Platform

#endif
