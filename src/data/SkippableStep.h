#pragma once

#include "data/DataError.h"

#include <QStringList>

// Runs a step the program may go without. A failure it reports (VeskError) ends
// only that step: its message joins `skipped` when the caller wants to say so,
// and the caller goes on. Broken preconditions and other exceptions pass through.
// Returns whether the step completed.
template <typename Step> bool runSkippable(Step&& step, QStringList* skipped = nullptr)
{
    try {
        step();
        return true;
    } catch (const VeskError& error) {
        if (skipped)
            *skipped << error.message();
        return false;
    }
}
