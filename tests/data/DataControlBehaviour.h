#pragma once

// The record-set behaviour every engine must show. Each engine's test file
// supplies a fixture (a fresh database holding the item table) and runs this
// class; the moc output is included by that file.

#include "TestSupport.h"
#include "data/DataControl.h"
#include "data/DataError.h"

#include <QSqlDatabase>
#include <QtTest>
#include <functional>
#include <memory>

class EngineFixture
{
public:
    virtual ~EngineFixture() = default;
    // A fresh database with the item table; returns an error text or empty.
    virtual QString create() = 0;
    virtual void destroy() = 0;
    virtual QString connectionString() const = 0;
    // A connection of the test's own: the "someone else" of the conflict tests.
    virtual QSqlDatabase other() const = 0;
    virtual const ConnectionConfig* config() const { return nullptr; }
    // Table definition without a primary key, in this engine's dialect.
    virtual QString noKeyTable() const
    {
        return QStringLiteral("CREATE TABLE nokey (a INTEGER NULL, price REAL NULL, note "
                              "VARCHAR(40) NULL)");
    }
};

class DataControlBehaviour : public QObject
{
    Q_OBJECT
public:
    explicit DataControlBehaviour(EngineFixture* fixture) : m_fixture(fixture) {}

protected:
    EngineFixture* m_fixture;
    std::unique_ptr<DataControl> m_control;

    std::unique_ptr<DataControl> newControl(const QString& name, int commandType = 1,
                                            const QString& source = {})
    {
        return std::make_unique<DataControl>(name, m_fixture->connectionString(), commandType,
                                             source, m_fixture->config());
    }
    QSqlDatabase other() const { return m_fixture->other(); }
    QString insertItem(const QVariant& itemId, const QVariant& sku, const QVariant& description,
                       const QVariant& retail, const QVariant& until, const QVariant& store)
    {
        return vesktest::exec(other(),
                              QStringLiteral("INSERT INTO item (CV_itemid, SKU, Description, "
                                             "Retail, auction_until_unix, storeid) VALUES "
                                             "(?,?,?,?,?,?)"),
                              {itemId, sku, description, retail, until, store});
    }
    // Runs a query on the test's own connection; the value of its first column.
    QVariant read(const QString& sql, const QVariantList& values = {}) const
    {
        return vesktest::scalar(other(), sql, values);
    }
    void query(DataControl& control, const QString& sql)
    {
        control.CommandType = 1;
        control.RecordSource = sql;
        control.Refresh();
    }
    static QVariant nullValue() { return QVariant(QMetaType::fromType<QString>()); }

private slots:
    void init()
    {
        VESK_VERIFY_OK(m_fixture->create());
        m_control = newControl(QStringLiteral("adoKBvesk2"));
    }
    void cleanup()
    {
        m_control.reset();
        m_fixture->destroy();
    }

    void nullDiffersFromEmptyInEveryColumnKind_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("empty");
        QTest::newRow("whole number") << "CV_itemid" << QVariant(0);
        QTest::newRow("short text") << "SKU" << QVariant(QStringLiteral(""));
        QTest::newRow("long text") << "Description" << QVariant(QStringLiteral(""));
        QTest::newRow("decimal") << "Retail" << QVariant(0.0);
        QTest::newRow("time stamp") << "auction_until_unix" << QVariant(0);
    }
    void nullDiffersFromEmptyInEveryColumnKind()
    {
        QFETCH(QString, column);
        QFETCH(QVariant, empty);
        VESK_VERIFY_OK(vesktest::exec(
            other(),
            QStringLiteral("INSERT INTO item (storeid, %1) VALUES ('null', NULL)").arg(column)));
        VESK_VERIFY_OK(vesktest::exec(
            other(),
            QStringLiteral("INSERT INTO item (storeid, %1) VALUES ('empty', ?)").arg(column),
            {empty}));
        query(*m_control, QStringLiteral("SELECT * FROM item ORDER BY storeid DESC"));
        QCOMPARE(m_control->Recordset().RecordCount(), 2);
        RecordSet& rs = m_control->Recordset();
        QCOMPARE(rs.Fields(QStringLiteral("storeid")).toString(), QStringLiteral("null"));
        QVERIFY(rs.Fields(column).isNull());
        rs.MoveNext();
        QCOMPARE(rs.Fields(QStringLiteral("storeid")).toString(), QStringLiteral("empty"));
        const QVariant v = rs.Fields(column);
        QVERIFY2(!v.isNull(), "an empty value must not read as NULL");
        QCOMPARE(v.toString(), empty.toString());
    }

    void emptyResultHasNoRecordsAndFieldAccessThrows()
    {
        query(*m_control, QStringLiteral("SELECT * FROM item WHERE SKU LIKE 'none%'"));
        RecordSet& rs = m_control->Recordset();
        QCOMPARE(rs.RecordCount(), 0);
        QVERIFY(rs.atEnd());
        rs.MoveFirst();
        rs.MoveNext();
        QVERIFY(rs.atEnd());
        QVERIFY(rs.hasField(QStringLiteral("SKU")));
        try {
            rs.Fields(QStringLiteral("SKU"));
            QFAIL("reading a field of an empty record set must throw");
        } catch (const DataError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("adoKBvesk2")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("no records")), qPrintable(e.message()));
        }
        QVERIFY_THROWS_EXCEPTION(DataError,
                                 rs.setField(QStringLiteral("SKU"), QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(DataError, rs.Update());
    }

    void unknownFieldThrowsNamingIt()
    {
        VESK_VERIFY_OK(insertItem(1, QStringLiteral("A1"), {}, 1.0, 0, QStringLiteral("S")));
        query(*m_control, QStringLiteral("SELECT * FROM item"));
        try {
            m_control->Recordset().Fields(QStringLiteral("NoSuchColumn"));
            QFAIL("an unknown field must throw");
        } catch (const DataError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("NoSuchColumn")), qPrintable(e.message()));
        }
        // Column names are found whatever their case.
        QCOMPARE(m_control->Recordset().Fields(QStringLiteral("sku")).toString(),
                 QStringLiteral("A1"));
    }

    void walksAllRowsInOrderFromTheFirst()
    {
        for (int i = 3; i >= 1; --i)
            VESK_VERIFY_OK(
                insertItem(i, QStringLiteral("SKU%1").arg(i), {}, 1.0, 0, QStringLiteral("S")));
        query(*m_control, QStringLiteral("SELECT * FROM item ORDER BY CV_itemid"));
        RecordSet& rs = m_control->Recordset();
        QCOMPARE(rs.RecordCount(), 3);
        // Refresh leaves the set on its first row.
        QCOMPARE(rs.Fields(QStringLiteral("CV_itemid")).toInt(), 1);
        QStringList seen;
        for (rs.MoveFirst(); !rs.atEnd(); rs.MoveNext())
            seen << rs.Fields(QStringLiteral("SKU")).toString();
        QCOMPARE(seen, QStringList({"SKU1", "SKU2", "SKU3"}));
        rs.MoveNext();
        QVERIFY(rs.atEnd());
        QVERIFY_THROWS_EXCEPTION(DataError, rs.Fields(QStringLiteral("SKU")));
        rs.MoveFirst();
        QCOMPARE(rs.Fields(QStringLiteral("SKU")).toString(), QStringLiteral("SKU1"));
    }

    void decimalReadsAsDouble_data()
    {
        QTest::addColumn<QVariantList>("parameters");
        QTest::newRow("text query") << QVariantList();
        QTest::newRow("prepared query") << QVariantList{1};
    }
    void decimalReadsAsDouble()
    {
        QFETCH(QVariantList, parameters);
        VESK_VERIFY_OK(insertItem(1, QStringLiteral("A"), {}, 12.34, 0, QStringLiteral("S")));
        m_control->RecordSource = parameters.isEmpty()
                                      ? QStringLiteral("SELECT * FROM item")
                                      : QStringLiteral("SELECT * FROM item WHERE CV_itemid=?");
        m_control->Parameters = parameters;
        m_control->Refresh();
        const QVariant v = m_control->Recordset().Fields(QStringLiteral("Retail"));
        QCOMPARE(v.metaType().id(), int(QMetaType::Double));
        QCOMPARE(v.toDouble(), 12.34);
    }

    void updateWritesAssignedValue_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("stamp as double")
            << "auction_until_unix" << QVariant(1700000000.0) << QVariant(1700000000);
        QTest::newRow("stamp rounds half to even")
            << "auction_until_unix" << QVariant(2.5) << QVariant(2);
        QTest::newRow("negative stamp")
            << "auction_until_unix" << QVariant(-86400.0) << QVariant(-86400);
        QTest::newRow("text") << "SKU" << QVariant(QStringLiteral("O'Brien \\ ring"))
                              << QVariant(QStringLiteral("O'Brien \\ ring"));
        QTest::newRow("text into NULL") << "Description" << QVariant(QStringLiteral("gold"))
                                        << QVariant(QStringLiteral("gold"));
        QTest::newRow("price") << "Retail" << QVariant(99.95) << QVariant(99.95);
        QTest::newRow("to NULL") << "SKU" << nullValue() << QVariant();
    }
    void updateWritesAssignedValue()
    {
        QFETCH(QString, column);
        QFETCH(QVariant, value);
        QFETCH(QVariant, stored);
        VESK_VERIFY_OK(insertItem(7, QStringLiteral("AB7"), {}, 10.5, 0, QStringLiteral("S1")));
        VESK_VERIFY_OK(insertItem(8, QStringLiteral("AB8"), {}, 11.5, 0, QStringLiteral("S1")));
        query(*m_control,
              QStringLiteral("SELECT * FROM item WHERE storeid LIKE 'S1' AND CV_itemid=7"));
        QCOMPARE(m_control->Recordset().RecordCount(), 1);
        m_control->Recordset().setField(column, value);
        m_control->Recordset().Update();

        const QVariant got =
            read(QStringLiteral("SELECT %1 FROM item WHERE CV_itemid=7").arg(column));
        if (stored.isNull()) {
            QVERIFY(got.isNull());
        } else if (stored.metaType().id() == QMetaType::Double) {
            QCOMPARE(got.toDouble(), stored.toDouble());
        } else {
            QCOMPARE(got.toString(), stored.toString());
        }
        // The other row is untouched.
        QCOMPARE(read(QStringLiteral("SELECT SKU FROM item WHERE CV_itemid=8")).toString(),
                 QStringLiteral("AB8"));
        QCOMPARE(
            read(QStringLiteral("SELECT auction_until_unix FROM item WHERE CV_itemid=8")).toInt(),
            0);
    }

    void secondUpdateOfSameRowSucceeds()
    {
        VESK_VERIFY_OK(insertItem(7, QStringLiteral("AB7"), {}, 10.5, 0, QStringLiteral("S1")));
        query(*m_control, QStringLiteral("SELECT * FROM item WHERE CV_itemid=7"));
        RecordSet& rs = m_control->Recordset();
        rs.setField(QStringLiteral("auction_until_unix"), 1700000000.0);
        rs.Update();
        rs.setField(QStringLiteral("auction_until_unix"), 1800000000.0);
        rs.Update();
        // Writing the value the row already holds is no conflict either.
        rs.setField(QStringLiteral("auction_until_unix"), 1800000000.0);
        rs.Update();
        QCOMPARE(
            read(QStringLiteral("SELECT auction_until_unix FROM item WHERE CV_itemid=7")).toInt(),
            1800000000);
    }

    void updateAfterSomeoneElseChangedRowConflicts_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("same column changed")
            << "UPDATE item SET auction_until_unix=123 WHERE CV_itemid=7";
        QTest::newRow("other column changed") << "UPDATE item SET SKU='CHANGED' WHERE CV_itemid=7";
        QTest::newRow("NULL column filled") << "UPDATE item SET Description='x' WHERE CV_itemid=7";
        QTest::newRow("price changed") << "UPDATE item SET Retail=10.51 WHERE CV_itemid=7";
        QTest::newRow("row deleted") << "DELETE FROM item WHERE CV_itemid=7";
    }
    void updateAfterSomeoneElseChangedRowConflicts()
    {
        QFETCH(QString, change);
        VESK_VERIFY_OK(insertItem(7, QStringLiteral("AB7"), {}, 10.5, 0, QStringLiteral("S1")));
        query(*m_control, QStringLiteral("SELECT * FROM item WHERE CV_itemid=7"));
        VESK_VERIFY_OK(vesktest::exec(other(), change));
        const QVariant before =
            read(QStringLiteral("SELECT auction_until_unix FROM item WHERE CV_itemid=7"));

        RecordSet& rs = m_control->Recordset();
        rs.setField(QStringLiteral("auction_until_unix"), 1700000000.0);
        try {
            rs.Update();
            QFAIL("Update must report the conflict");
        } catch (const UpdateConflict& e) {
            QVERIFY2(e.message().contains(QStringLiteral("changed or deleted by someone else")),
                     qPrintable(e.message()));
        }
        QCOMPARE(read(QStringLiteral("SELECT auction_until_unix FROM item WHERE CV_itemid=7")),
                 before);
    }

    void rejectedQueryRaisesServerMessageAndNextQueryWorks()
    {
        VESK_VERIFY_OK(insertItem(1, QStringLiteral("A"), {}, 1.0, 0, QStringLiteral("S")));
        try {
            query(*m_control, QStringLiteral("SELECT * FROM no_such_table"));
            QFAIL("a rejected query must throw");
        } catch (const DataError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("adoKBvesk2")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(m_control->describe()), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("no_such_table")),
                     qPrintable(e.message()));
        }
        query(*m_control, QStringLiteral("SELECT * FROM item"));
        QCOMPARE(m_control->Recordset().RecordCount(), 1);
    }

    void parametersBindToPlaceholdersAndAreCleared_data()
    {
        QTest::addColumn<QVariantList>("parameters");
        QTest::addColumn<int>("expected");
        QTest::newRow("prefix") << QVariantList{QStringLiteral("AB%"), QStringLiteral("S1")} << 2;
        QTest::newRow("quote is data")
            << QVariantList{QStringLiteral("O'B%"), QStringLiteral("S1")} << 1;
        QTest::newRow("injection is data")
            << QVariantList{QStringLiteral("x' OR '1'='1"), QStringLiteral("S1")} << 0;
        QTest::newRow("other store")
            << QVariantList{QStringLiteral("%"), QStringLiteral("S2")} << 1;
    }
    void parametersBindToPlaceholdersAndAreCleared()
    {
        QFETCH(QVariantList, parameters);
        QFETCH(int, expected);
        VESK_VERIFY_OK(insertItem(1, QStringLiteral("AB1"), {}, 1.0, 0, QStringLiteral("S1")));
        VESK_VERIFY_OK(insertItem(2, QStringLiteral("AB2"), {}, 1.0, 0, QStringLiteral("S1")));
        VESK_VERIFY_OK(insertItem(3, QStringLiteral("O'Brien"), {}, 1.0, 0, QStringLiteral("S1")));
        VESK_VERIFY_OK(insertItem(4, QStringLiteral("AB4"), {}, 1.0, 0, QStringLiteral("S2")));
        m_control->CommandType = 1;
        m_control->RecordSource =
            QStringLiteral("SELECT * FROM item WHERE SKU LIKE ? AND storeid=?");
        m_control->Parameters = parameters;
        m_control->Refresh();
        QCOMPARE(m_control->Recordset().RecordCount(), expected);
        QVERIFY(m_control->Parameters.isEmpty());
        // Cleared even when the statement fails.
        m_control->RecordSource = QStringLiteral("SELECT * FROM no_such_table WHERE a=?");
        m_control->Parameters = {1};
        QVERIFY_THROWS_EXCEPTION(DataError, m_control->Refresh());
        QVERIFY(m_control->Parameters.isEmpty());
    }

    void commandTypeTwoOpensTheNamedTable()
    {
        VESK_VERIFY_OK(insertItem(1, QStringLiteral("A"), {}, 1.0, 0, QStringLiteral("S")));
        VESK_VERIFY_OK(insertItem(2, QStringLiteral("B"), {}, 2.0, 0, QStringLiteral("S")));
        auto control = newControl(QStringLiteral("adoKBvesk"), 2, QStringLiteral("item"));
        control->Refresh();
        RecordSet& rs = control->Recordset();
        QCOMPARE(rs.RecordCount(), 2);
        QVERIFY(rs.hasField(QStringLiteral("auction_until_unix")));
        while (!rs.atEnd() && rs.Fields(QStringLiteral("SKU")).toString() != QStringLiteral("B"))
            rs.MoveNext();
        rs.setField(QStringLiteral("Description"), QStringLiteral("written through the table"));
        rs.Update();
        QCOMPARE(read(QStringLiteral("SELECT Description FROM item WHERE SKU='B'")).toString(),
                 QStringLiteral("written through the table"));
        QVERIFY(read(QStringLiteral("SELECT Description FROM item WHERE SKU='A'")).isNull());
    }

    void controlsOnSameConnectionKeepTheirOwnRows()
    {
        VESK_VERIFY_OK(insertItem(1, QStringLiteral("A"), {}, 1.0, 0, QStringLiteral("S")));
        VESK_VERIFY_OK(insertItem(2, QStringLiteral("B"), {}, 2.0, 0, QStringLiteral("S")));
        auto second = newControl(QStringLiteral("adoKBvesk1"));
        query(*m_control, QStringLiteral("SELECT * FROM item WHERE SKU='A'"));
        query(*second, QStringLiteral("SELECT * FROM item ORDER BY SKU"));
        QCOMPARE(m_control->Recordset().RecordCount(), 1);
        QCOMPARE(second->Recordset().RecordCount(), 2);
        QVERIFY(m_control->connectionName() != second->connectionName());
        second->Recordset().MoveNext();
        query(*m_control, QStringLiteral("SELECT * FROM item WHERE SKU='B'"));
        QCOMPARE(second->Recordset().RecordCount(), 2);
        QCOMPARE(second->Recordset().Fields(QStringLiteral("SKU")).toString(), QStringLiteral("B"));
        QCOMPARE(m_control->Recordset().Fields(QStringLiteral("SKU")).toString(),
                 QStringLiteral("B"));
    }

    void queryNotReadingOneTableCannotBeWrittenBack_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("join") << "SELECT a.SKU FROM item a JOIN item b ON a.id=b.id";
        QTest::newRow("two tables") << "SELECT a.SKU FROM item a, item b WHERE a.id=b.id";
        QTest::newRow("grouped") << "SELECT SKU FROM item GROUP BY SKU";
        QTest::newRow("no table") << "SELECT 'A' AS SKU";
    }
    void queryNotReadingOneTableCannotBeWrittenBack()
    {
        QFETCH(QString, sql);
        VESK_VERIFY_OK(insertItem(1, QStringLiteral("A"), {}, 1.0, 0, QStringLiteral("S")));
        query(*m_control, sql);
        QCOMPARE(m_control->Recordset().RecordCount(), 1);
        m_control->Recordset().setField(QStringLiteral("SKU"), QStringLiteral("Z"));
        try {
            m_control->Recordset().Update();
            QFAIL("Update must refuse");
        } catch (const UpdateConflict&) {
            QFAIL("not a conflict");
        } catch (const DataError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("cannot update")),
                     qPrintable(e.message()));
        }
        QCOMPARE(read(QStringLiteral("SELECT SKU FROM item")).toString(), QStringLiteral("A"));
    }

    void updateFindsRowOfTableWithoutKeyByAllValues()
    {
        VESK_VERIFY_OK(vesktest::exec(other(), m_fixture->noKeyTable()));
        VESK_VERIFY_OK(vesktest::exec(
            other(), QStringLiteral("INSERT INTO nokey (a, price, note) VALUES (1, 0.1, NULL)")));
        VESK_VERIFY_OK(vesktest::exec(
            other(), QStringLiteral("INSERT INTO nokey (a, price, note) VALUES (2, 19.99, 'b')")));
        query(*m_control, QStringLiteral("SELECT * FROM nokey ORDER BY a"));
        m_control->Recordset().setField(QStringLiteral("note"), QStringLiteral("first"));
        m_control->Recordset().Update();
        m_control->Recordset().MoveNext();
        m_control->Recordset().setField(QStringLiteral("note"), QStringLiteral("second"));
        m_control->Recordset().Update();
        QCOMPARE(read(QStringLiteral("SELECT note FROM nokey WHERE a=1")).toString(),
                 QStringLiteral("first"));
        QCOMPARE(read(QStringLiteral("SELECT note FROM nokey WHERE a=2")).toString(),
                 QStringLiteral("second"));
    }

    void updateOfRowThatHasTwinsWritesNothing()
    {
        VESK_VERIFY_OK(vesktest::exec(other(), m_fixture->noKeyTable()));
        for (int i = 0; i < 2; ++i)
            VESK_VERIFY_OK(vesktest::exec(
                other(),
                QStringLiteral("INSERT INTO nokey (a, price, note) VALUES (1, 2.5, 'x')")));
        query(*m_control, QStringLiteral("SELECT * FROM nokey"));
        m_control->Recordset().setField(QStringLiteral("note"), QStringLiteral("changed"));
        QVERIFY_THROWS_EXCEPTION(UpdateConflict, m_control->Recordset().Update());
        QCOMPARE(read(QStringLiteral("SELECT COUNT(*) FROM nokey WHERE note='x'")).toInt(), 2);
    }

    void escapedLiteralReadsBackUnchanged_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("quote") << "O'Brien";
        QTest::newRow("backslash") << "C:\\corvandel\\";
        QTest::newRow("backslash quote") << "\\'";
        QTest::newRow("injection") << "x'; DELETE FROM item; --";
        QTest::newRow("accents") << QStringLiteral("Bague \u00e9meraude 18\u00a0ct");
    }
    void escapedLiteralReadsBackUnchanged()
    {
        QFETCH(QString, text);
        VESK_VERIFY_OK(insertItem(1, QStringLiteral("A"), {}, 1.0, 0, QStringLiteral("S")));
        query(*m_control,
              QStringLiteral("SELECT '%1' AS v FROM item").arg(m_control->escapeLiteral(text)));
        QCOMPARE(m_control->Recordset().Fields(QStringLiteral("v")).toString(), text);
        QCOMPARE(read(QStringLiteral("SELECT COUNT(*) FROM item")).toInt(), 1);
    }
};
