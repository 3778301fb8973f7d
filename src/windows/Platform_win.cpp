#include "windows/Platform.h"

#include <QtGlobal>

#ifdef Q_OS_WIN

#include <QWidget>

#include <windows.h>

namespace Platform {

void setTopmost(QWidget* window, bool on)
{
    if (!window)
        return;
    const auto hwnd = reinterpret_cast<HWND>(window->winId());
    // SWP_NOACTIVATE: re-asserting the place every few seconds must not pull
    // the focus away from whatever the clerk is doing in the program.
    SetWindowPos(hwnd, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool isTopmost(const QWidget* window)
{
    if (!window || !window->internalWinId())
        return false;
    const auto hwnd = reinterpret_cast<HWND>(window->internalWinId());
    return (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

} // namespace Platform

#endif
