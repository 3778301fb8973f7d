#include "windows/win32/Win32Window.h"

#include <windows.h>

namespace Win32Window {

void setTopmost(Handle window, bool on)
{
    // SWP_NOACTIVATE: re-asserting the place every few seconds must not pull
    // the focus away from whatever the clerk is doing in the program.
    SetWindowPos(reinterpret_cast<HWND>(window), on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool isTopmost(Handle window)
{
    return (GetWindowLongPtrW(reinterpret_cast<HWND>(window), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

void setColourKey(Handle window, unsigned rgb)
{
    const auto handle = reinterpret_cast<HWND>(window);
    const LONG_PTR style = GetWindowLongPtrW(handle, GWL_EXSTYLE);
    SetWindowLongPtrW(handle, GWL_EXSTYLE, style | WS_EX_LAYERED);
    const COLORREF key = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    SetLayeredWindowAttributes(handle, key, 0, LWA_COLORKEY);
}

} // namespace Win32Window
