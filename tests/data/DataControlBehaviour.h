#pragma once

// The record-set behaviour every engine must show. Each engine's test derives
// from this class, supplies a fresh database holding the item table, and
// includes the moc output.

#include "TestSupport.h"
#include "data/DataControl.h"
#include "data/DataError.h"

#include <QtTest>
#include <memory>

class DataControlBehaviour : public QObject
{
    Q_OBJECT
public:
    static void query(DataControl& control, const QString& text)
    {
        control.CommandType = 1;
        control.RecordSource = text;
        control.Refresh();
    }

protected:
    // A fresh database with the item table; an error text or empty.
    virtual QString createDatabase() = 0;
    virtual void dropDatabase() = 0;
    virtual QString connectionString() const = 0;
    // The test's own connection: the "someone else" of the conflicts.
    virtual QSqlDatabase other() const = 0;
    // A column type whose values do not read back exactly on this engine.
    virtual QString floatType() const { return QStringLiteral("REAL"); }

    std::unique_ptr<DataControl> m_control;

    std::unique_ptr<DataControl> newControl(const QString& name, int type = 1,
                                            const QString& source = {}) const
    {
        return std::make_unique<DataControl>(name, connectionString(), type, source, nullptr);
    }
    QString sql(const QString& text, const QVariantList& values = {}) const
    {
        return vesktest::exec(other(), text, values);
    }
    QVariant read(const QString& text) const { return vesktest::scalar(other(), text); }
    int count(const QString& table, const QString& where) const
    {
        return read("SELECT COUNT(*) FROM " + table + " WHERE " + where).toInt();
    }
    // Rows "CV_itemid|SKU|storeid"; no description, retail 10.5, stamp 0.
    QString insertItems(const QStringList& rows) const
    {
        QString error;
        for (const QString& row : rows) {
            const QStringList f = row.split(u'|');
            if (error.isEmpty())
                error = sql("INSERT INTO item (CV_itemid, SKU, storeid, Retail, "
                            "auction_until_unix) VALUES (?,?,?,10.5,0)",
                            {f[0].toInt(), f[1], f[2]});
        }
        return error;
    }
    RecordSet& rs() { return m_control->Recordset(); }
    void update(const QString& column, const QVariant& value)
    {
        rs().setField(column, value);
        rs().Update();
    }

private slots:
    void init()
    {
        VESK_VERIFY_OK(createDatabase());
        m_control = newControl("adoKBvesk2");
    }
    void cleanup()
    {
        m_control.reset();
        dropDatabase();
    }

    void nullDiffersFromEmptyInEveryColumnKind_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("empty");
        QTest::newRow("whole number") << "CV_itemid" << QVariant(0);
        QTest::newRow("short text") << "SKU" << QVariant("");
        QTest::newRow("long text") << "Description" << QVariant("");
        QTest::newRow("decimal") << "Retail" << QVariant(0.0);
        QTest::newRow("time stamp") << "auction_until_unix" << QVariant(0);
    }
    void nullDiffersFromEmptyInEveryColumnKind()
    {
        QFETCH(QString, column);
        QFETCH(QVariant, empty);
        const QString insert = QStringLiteral("INSERT INTO item (storeid, %1) VALUES ").arg(column);
        VESK_VERIFY_OK(sql(insert + "('null', NULL)"));
        VESK_VERIFY_OK(sql(insert + "('empty', ?)", {empty}));
        query(*m_control, "SELECT * FROM item ORDER BY storeid DESC");
        QVERIFY(rs().Fields(column).isNull());
        rs().MoveNext();
        QCOMPARE(rs().Fields("storeid").toString(), "empty");
        QVERIFY2(!rs().Fields(column).isNull(), "an empty value must not read as NULL");
        QCOMPARE(rs().Fields(column).toString(), empty.toString());
    }

    void walksRowsInOrderAndFieldAccessWithoutRowThrows()
    {
        query(*m_control, "SELECT * FROM item");
        QCOMPARE(rs().RecordCount(), 0);
        rs().MoveFirst();
        QVERIFY(rs().atEnd());
        VESK_VERIFY_CONTAINS(vesktest::errorOf([&] { rs().Fields("SKU"); }), "adoKBvesk2",
                             "no records");
        QVERIFY_THROWS_EXCEPTION(DataError, update("SKU", 1));
        VESK_VERIFY_OK(insertItems({"3|C|S", "1|A|S", "2|B|S"}));
        query(*m_control, "SELECT * FROM item ORDER BY CV_itemid");
        QCOMPARE(rs().Fields("sku").toString(), "A"); // on the first row, whatever the case
        QStringList seen;
        for (rs().MoveFirst(); !rs().atEnd(); rs().MoveNext())
            seen << rs().Fields("SKU").toString();
        QCOMPARE(seen, QStringList({"A", "B", "C"}));
        QVERIFY_THROWS_EXCEPTION(DataError, rs().Fields("SKU"));
        rs().MoveFirst();
        VESK_VERIFY_CONTAINS(vesktest::errorOf([&] { rs().Fields("NoSuchCol"); }), "NoSuchCol");
    }

    // Also when the query has parameters (prepared on the server).
    void decimalReadsAsDouble()
    {
        VESK_VERIFY_OK(insertItems({"1|A|S"}));
        for (const bool prepared : {false, true}) {
            m_control->RecordSource =
                prepared ? "SELECT * FROM item WHERE CV_itemid=?" : "SELECT * FROM item";
            m_control->Parameters = prepared ? QVariantList{1} : QVariantList();
            m_control->Refresh();
            QVERIFY(m_control->Parameters.isEmpty()); // used once
            QCOMPARE(rs().Fields("Retail").metaType().id(), int(QMetaType::Double));
            QCOMPARE(rs().Fields("Retail").toDouble(), 10.5);
        }
    }

    void updateWritesAssignedValueAndAgain_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("stored"); // "NULL" for NULL
        QTest::newRow("stamp as double") << "auction_until_unix" << QVariant(1.7e9) << "1700000000";
        QTest::newRow("stamp rounds half to even") << "auction_until_unix" << QVariant(2.5) << "2";
        QTest::newRow("quote and backslash")
            << "SKU" << QVariant("O'Brien \\ ring") << "O'Brien \\ ring";
        QTest::newRow("to NULL") << "SKU" << QVariant(QMetaType::fromType<QString>()) << "NULL";
    }
    void updateWritesAssignedValueAndAgain()
    {
        QFETCH(QString, column);
        QFETCH(QVariant, value);
        VESK_VERIFY_OK(insertItems({"7|AB7|S1", "8|AB8|S1"}));
        query(*m_control, "SELECT * FROM item WHERE storeid='S1' AND CV_itemid=7");
        update(column, value);
        update(column, value); // the row holds what was written: no conflict
        const QVariant got =
            read(QStringLiteral("SELECT %1 FROM item WHERE CV_itemid=7").arg(column));
        QTEST(got.isNull() ? QStringLiteral("NULL") : got.toString(), "stored");
        QCOMPARE(count("item", "SKU='AB8' AND auction_until_unix=0"), 1); // the other row
    }

    void updateAfterSomeoneElseChangedRowConflicts_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("same column") << "UPDATE item SET auction_until_unix=123";
        QTest::newRow("other column") << "UPDATE item SET SKU='CHANGED'";
        QTest::newRow("NULL column filled") << "UPDATE item SET Description='x'";
        QTest::newRow("row deleted") << "DELETE FROM item";
    }
    void updateAfterSomeoneElseChangedRowConflicts()
    {
        QFETCH(QString, change);
        VESK_VERIFY_OK(insertItems({"7|AB7|S1"}));
        query(*m_control, "SELECT * FROM item");
        VESK_VERIFY_OK(sql(change));
        const QVariant before = read("SELECT auction_until_unix FROM item");
        try {
            update("auction_until_unix", 1.7e9);
            QFAIL("Update must report the conflict");
        } catch (const UpdateConflict& e) {
            VESK_VERIFY_CONTAINS(e.message(), "changed or deleted by someone else");
        }
        QCOMPARE(read("SELECT auction_until_unix FROM item"), before);
    }

    void rejectedQueryRaisesServerMessageAndNextQueryWorks()
    {
        VESK_VERIFY_OK(insertItems({"1|A|S"}));
        m_control->RecordSource = "SELECT * FROM nosuch WHERE a=?";
        m_control->Parameters = {1};
        const QString error = vesktest::errorOf([&] { m_control->Refresh(); });
        VESK_VERIFY_CONTAINS(error, "adoKBvesk2", m_control->describe(), "nosuch");
        QVERIFY(m_control->Parameters.isEmpty()); // cleared even when the statement fails
        query(*m_control, "SELECT * FROM item");
        QCOMPARE(rs().RecordCount(), 1);
    }

    void controlsOnSameConnectionKeepTheirOwnRows()
    {
        VESK_VERIFY_OK(insertItems({"1|A|S", "2|B|S"}));
        auto second = newControl("adoKBvesk1");
        query(*second, "SELECT * FROM item ORDER BY SKU");
        second->Recordset().MoveNext();
        query(*m_control, "SELECT * FROM item WHERE SKU='A'");
        QCOMPARE(rs().RecordCount(), 1);
        QCOMPARE(second->Recordset().RecordCount(), 2);
        QCOMPARE(second->Recordset().Fields("SKU").toString(), "B");
    }

    void rowOfTableWithoutKeyIsFoundByAllValuesButTwinsAreLeftAlone()
    {
        VESK_VERIFY_OK(sql(
            QStringLiteral("CREATE TABLE nokey (a INT NULL, price %1 NULL, note VARCHAR(40) NULL)")
                .arg(floatType())));
        VESK_VERIFY_OK(sql("INSERT INTO nokey VALUES (1, 0.1, NULL), (2, 19.99, 'b'), "
                           "(3, 2.5, 'x'), (3, 2.5, 'x')"));
        query(*m_control, "SELECT * FROM nokey ORDER BY a");
        update("note", "first");
        rs().MoveNext();
        update("note", "second");
        rs().MoveNext();
        QVERIFY_THROWS_EXCEPTION(UpdateConflict, update("note", "changed"));
        QCOMPARE(read("SELECT note FROM nokey WHERE a=1").toString(), "first");
        QCOMPARE(read("SELECT note FROM nokey WHERE a=2").toString(), "second");
        QCOMPARE(count("nokey", "note='x'"), 2);
    }

    void escapedLiteralReadsBackUnchanged_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("quote") << "O'Brien";
        QTest::newRow("backslash quote") << "C:\\corvandel\\'";
        QTest::newRow("injection") << "x'; DELETE FROM item; --";
    }
    void escapedLiteralReadsBackUnchanged()
    {
        QFETCH(QString, text);
        VESK_VERIFY_OK(insertItems({"1|A|S"}));
        query(*m_control, "SELECT '" + m_control->escapeLiteral(text) + "' AS v FROM item");
        QCOMPARE(rs().Fields("v").toString(), text);
        QCOMPARE(count("item", "1=1"), 1);
    }
};
