#pragma once

#include "auction/frmVESKauction.h"

#include <QtTest>

namespace vesktest {

// Waits until the window has no listing or save under way; false after `ms`.
inline bool waitUntilIdle(const frmVESKauction& window, int ms = 30000)
{
    return QTest::qWaitFor([&] { return !window.isBusy(); }, ms);
}

// Clicks a button of the window and waits until the database work it started is over.
inline bool clickAndWait(frmVESKauction& window, QWidget* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
    return waitUntilIdle(window);
}

} // namespace vesktest
