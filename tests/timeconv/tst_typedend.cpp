#include "timeconv/TypedEnd.h"

#include <QtTest>

// Texts the clerk types for an auction end, read on Tuesday 2023-11-14 10:15:37.
class tst_TypedEnd : public QObject
{
    Q_OBJECT

private slots:
    void readsTypedEndOrSaysWhyNot_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time"); // invalid: no time typed
        QTest::addColumn<QString>("error");
        const QDate christmasEve(2026, 12, 24);
        const QTime eight(20, 0);
        const auto end = [](const char* text, const QDate& date, const QTime& time) {
            QTest::newRow(text) << QString::fromLatin1(text) << date << time << QString();
        };
        const auto refused = [](const char* text, const char* error) {
            QTest::newRow(text) << QString::fromLatin1(text) << QDate() << QTime()
                                << QString::fromLatin1(error);
        };
        end("Dec-24-2026 20:00", christmasEve, eight);
        end("24.12.2026 20:00", christmasEve, eight);
        end("2026-12-24 20:00", christmasEve, eight);
        end("  DECEMBER-24-2026   8:05:30 ", christmasEve, QTime(8, 5, 30));
        end("Feb-29-2024", QDate(2024, 2, 29), QTime());
        end("+7d", QDate(2023, 11, 21), QTime());
        end("+3d 20:00", QDate(2023, 11, 17), eight);
        end("+0d 23:59", QDate(2023, 11, 14), QTime(23, 59));
        end("+2W", QDate(2023, 11, 28), QTime());
        end("fri 20:00", QDate(2023, 11, 17), eight);
        end("Monday", QDate(2023, 11, 20), QTime());
        end("tue", QDate(2023, 11, 21), QTime());
        refused("", "Nothing typed");
        refused("20:00", "\"20:00\" is not a date");
        refused("24/12/2026 20:00", "\"24/12/2026\" is not a date");
        refused("Dex-24-2026 20:00", "\"Dex\" is not a month");
        refused("Feb-29-2026", "\"Feb-29-2026\" is no day of the calendar");
        refused("31.11.2026", "\"31.11.2026\" is no day of the calendar");
        refused("2026-12-24 24:00", "\"24:00\" is not a time of day");
        refused("fri 8pm", "\"8pm\" is not a time of day");
        refused("fri 20:00 sharp", "is more than a date and a time");
        refused("+7", "\"+7\" is not a date");
    }
    void readsTypedEndOrSaysWhyNot()
    {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        QFETCH(QString, error);
        const TypedEnd end = parseTypedEnd(text, QDateTime(QDate(2023, 11, 14), QTime(10, 15, 37)));
        QVERIFY2(error.isEmpty() ? end.isValid() : end.error.contains(error),
                 qPrintable(end.error));
        QCOMPARE(end.date, date);
        QCOMPARE(end.time, time);
    }
};

QTEST_APPLESS_MAIN(tst_TypedEnd)
#include "tst_typedend.moc"
