#pragma once

#include <QDateTime>

// The source of "now" (the system's local date and time). Tests replace it.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
};
