#pragma once

class QWidget;

// The few calls that differ between the window systems. The Windows versions
// live in Platform_win.cpp; everything else uses Qt's own means.
namespace Platform {

// Keeps the window above all windows that are not topmost themselves, or
// releases it. Changes nothing when the window is already in that state, so a
// periodic re-assertion neither flickers nor activates the window.
void setTopmost(QWidget* window, bool on);
bool isTopmost(const QWidget* window);

// Width in pixels of the screen the window is on (the primary screen for a
// window not yet shown).
int screenWidth(const QWidget* window);
// Tests choose the screen width; 0 measures the real screen again.
void setScreenWidthForTesting(int pixels);

// Gives the memory of freed blocks back to the system where the C library keeps
// it (glibc); after a long listing goes, that is most of the grid's.
void returnFreedMemory();

} // namespace Platform
