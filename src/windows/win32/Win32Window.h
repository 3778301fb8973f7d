#pragma once

#include <cstdint>

// The Win32 calls on a top-level window. Neither Qt nor <windows.h> appears in
// this interface, so the implementation can be compiled against the Windows
// headers alone. The handle is the window's native id, QWidget::winId(): a
// number, so that a widget pointer passed by mistake does not compile.
namespace Win32Window {

using Handle = std::uintptr_t;

// Places the window above (or among) the windows that are not topmost, without
// moving, sizing or activating it.
void setTopmost(Handle window, bool on);
bool isTopmost(Handle window);

// Leaves out the pixels of one colour (0xRRGGBB): they are not drawn and
// clicks there reach whatever lies behind the window.
void setColourKey(Handle window, unsigned rgb);

} // namespace Win32Window
