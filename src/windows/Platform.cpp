#include "windows/Platform.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {
int& screenWidthOverride()
{
    static int pixels = 0;
    return pixels;
}
} // namespace

namespace Platform {

#ifndef Q_OS_WIN
void setTopmost(QWidget* window, bool on)
{
    if (!window || isTopmost(window) == on)
        return;
    // Changing the flags of a shown window re-creates and hides it.
    const bool wasVisible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (wasVisible)
        window->show();
}

bool isTopmost(const QWidget* window)
{
    return window && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}
#endif

int screenWidth(const QWidget* window)
{
    if (screenWidthOverride() > 0)
        return screenWidthOverride();
    const QScreen* screen = window ? window->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 0;
}

void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

void setScreenWidthForTesting(int pixels)
{
    screenWidthOverride() = pixels > 0 ? pixels : 0;
}

} // namespace Platform
