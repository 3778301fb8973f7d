#pragma once

#include <QDialog>

class QDate;
class QDateEdit;
class QSpinBox;
class QTime;
class QTimeEdit;

// Asks for the ends of several rows at once: the first end's date and time and
// the minutes between one row's end and the next.
class SetEndsDialog : public QDialog
{
    Q_OBJECT
public:
    SetEndsDialog(int rows, const QDate& date, const QTime& time, QWidget* parent = nullptr);

    QDateEdit* startDate = nullptr;
    // The store's wall time, kept in UTC so that no time zone of this machine moves it.
    QTimeEdit* startTime = nullptr;
    QSpinBox* stepMinutes = nullptr;
};
