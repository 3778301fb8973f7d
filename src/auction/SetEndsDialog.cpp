#include "auction/SetEndsDialog.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QTimeEdit>

SetEndsDialog::SetEndsDialog(int rows, const QDate& date, const QTime& time, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("SetEndsDialog"));
    setWindowTitle(tr("Set ends"));
    auto* layout = new QFormLayout(this);
    layout->addRow(new QLabel(
        rows == 1
            ? tr("The end for 1 row:")
            : tr("Ends for %1 rows, top to bottom, each a step after the one above:").arg(rows)));

    startDate = new QDateEdit(date, this);
    startDate->setObjectName(QStringLiteral("startDate"));
    startDate->setDisplayFormat(QStringLiteral("MMM dd, yyyy"));
    startDate->setCalendarPopup(true);
    layout->addRow(tr("First end, date:"), startDate);

    startTime = new QTimeEdit(this);
    startTime->setObjectName(QStringLiteral("startTime"));
    startTime->setTimeSpec(Qt::UTC);
    startTime->setDisplayFormat(QStringLiteral("HH:mm"));
    startTime->setTime(time);
    layout->addRow(tr("time:"), startTime);

    stepMinutes = new QSpinBox(this);
    stepMinutes->setObjectName(QStringLiteral("stepMinutes"));
    stepMinutes->setRange(0, 24 * 60);
    stepMinutes->setValue(2);
    stepMinutes->setSuffix(tr(" min"));
    layout->addRow(tr("Step:"), stepMinutes);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addRow(buttons);
}
