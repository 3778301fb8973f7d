// The record-set behaviour every engine must show (SQLite file, MariaDB server,
// the ODBC data source), then what is particular to each.

#include "TestSupport.h"
#include "data/DataControl.h"

#include <QtTest>
#include <memory>

enum class Kind
{
    Sqlite,
    MariaDb,
    Odbc
};

class DataControlTest : public QObject
{
    Q_OBJECT
public:
    explicit DataControlTest(Kind kind) : m_kind(kind) {}

private:
    Kind m_kind;
    std::unique_ptr<vesktest::TestInstallation> m_inst;
    std::unique_ptr<vesktest::ItemDatabase> m_db;
    std::unique_ptr<vesktest::TestOdbcSource> m_source;
    std::unique_ptr<DataControl> m_control;

    QSqlDatabase other() const { return m_source ? m_source->db() : m_db->db(); }
    QString sql(const QString& text, const QVariantList& values = {}) const
    {
        return vesktest::exec(other(), text, values);
    }
    RecordSet& rs() { return m_control->Recordset(); }
    static void query(DataControl& control, const QString& text)
    {
        control.CommandType = DataControl::kQueryText;
        control.RecordSource = text;
        control.Refresh();
    }

private slots:
    void init()
    {
        m_inst = std::make_unique<vesktest::TestInstallation>();
        if (m_kind == Kind::Odbc) {
            m_source = std::make_unique<vesktest::TestOdbcSource>(QStringList{"item"});
            VESK_VERIFY_OK(m_source->error());
        } else {
            m_db = std::make_unique<vesktest::ItemDatabase>(
                m_kind == Kind::Sqlite ? vesktest::Engine::Sqlite : vesktest::Engine::MariaDb,
                *m_inst);
            VESK_VERIFY_OK(m_db->error());
        }
        const QString cs = m_source ? "dsn=ODBCCorvandel;" : m_db->connectionString();
        m_control = std::make_unique<DataControl>("adoKBvesk2", cs, DataControl::kQueryText,
                                                  QString(), nullptr);
    }
    void cleanup()
    {
        m_control.reset();
        m_db.reset();
        m_source.reset();
    }

    void nullDiffersFromEmptyInEveryColumnKind_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("empty");
        QTest::newRow("whole number") << "CV_itemid" << QVariant(0);
        QTest::newRow("long text") << "Description" << QVariant("");
        QTest::newRow("decimal") << "Retail" << QVariant(0.0);
    }
    void nullDiffersFromEmptyInEveryColumnKind()
    {
        QFETCH(QString, column);
        QFETCH(QVariant, empty);
        VESK_VERIFY_OK(vesktest::insertRows(other(), "item", {"storeid", column},
                                            {{"null", QVariant()}, {"empty", empty}}));
        query(*m_control, "SELECT * FROM item ORDER BY storeid DESC");
        QVERIFY(rs().Fields(column).isNull());
        rs().MoveNext();
        QVERIFY(!rs().Fields(column).isNull());
        QCOMPARE(rs().Fields(column).toString(), empty.toString());
    }

    // Update writes the current row back unless someone else changed or deleted
    // it since it was read.
    void updateWritesTheRowUnlessSomeoneElseChangedIt_data()
    {
        QTest::addColumn<QString>("change"); // empty: none
        QTest::newRow("no change") << "";
        QTest::newRow("other column changed") << "UPDATE item SET SKU='CHANGED'";
        QTest::newRow("row deleted") << "DELETE FROM item";
    }
    void updateWritesTheRowUnlessSomeoneElseChangedIt()
    {
        QFETCH(QString, change);
        VESK_VERIFY_OK(sql("INSERT INTO item (CV_itemid, SKU, auction_until_unix) VALUES "
                           "(7, 'AB7', 0), (8, 'AB8', 0)"));
        query(*m_control, "SELECT * FROM item WHERE CV_itemid=7");
        if (!change.isEmpty())
            VESK_VERIFY_OK(sql(change + " WHERE CV_itemid=7"));
        rs().setField("auction_until_unix", 1.7e9);
        const QString error = vesktest::errorOf([&] { rs().Update(); });
        VESK_VERIFY_CONTAINS(error, change.isEmpty() ? "" : "changed or deleted by someone else");
        QCOMPARE(vesktest::scalar(other(), "SELECT SUM(auction_until_unix) FROM item").toLongLong(),
                 change.isEmpty() ? 1700000000 : 0);
    }

    void rejectedQueryRaisesServerMessageAndNextQueryWorks()
    {
        VESK_VERIFY_OK(sql("INSERT INTO item (CV_itemid, SKU) VALUES (1, 'A')"));
        m_control->RecordSource = "SELECT * FROM nosuch WHERE a=?";
        m_control->Parameters = {1};
        const QString error = vesktest::errorOf([&] { m_control->Refresh(); });
        VESK_VERIFY_CONTAINS(error, "adoKBvesk2", m_control->describe(), "nosuch");
        QVERIFY(m_control->Parameters.isEmpty()); // cleared even when the statement fails
        query(*m_control, "SELECT * FROM item");
        QCOMPARE(rs().RecordCount(), 1);
        VESK_VERIFY_CONTAINS(vesktest::errorOf([&] { rs().Fields("NoSuchCol"); }), "NoSuchCol");
        rs().MoveNext();
        VESK_VERIFY_CONTAINS(vesktest::errorOf([&] { rs().Fields("SKU"); }), "adoKBvesk2");
    }

    // The rows come in order, the first ones in a batch of their own, NULL kept
    // NULL, each batch with the columns and the row count; an empty result
    // still gives one batch; a cancel ends the reading.
    void readsInBatches_data()
    {
        QTest::addColumn<bool>("prepared");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cancelAfter"); // batches; -1: never
        QTest::addColumn<QList<int>>("sizes");
        QTest::newRow("empty") << false << 0 << -1 << QList<int>{0};
        QTest::newRow("first batch only") << false << 2 << -1 << QList<int>{2};
        QTest::newRow("uneven tail") << false << 7 << -1 << QList<int>{2, 3, 2};
        QTest::newRow("prepared, uneven tail") << true << 7 << -1 << QList<int>{2, 3, 2};
        QTest::newRow("cancelled") << false << 8 << 1 << QList<int>{2};
    }
    void readsInBatches()
    {
        QFETCH(bool, prepared);
        QFETCH(int, rows);
        QFETCH(int, cancelAfter);
        QFETCH(QList<int>, sizes);
        for (int id = 1; id <= rows; ++id)
            VESK_VERIFY_OK(sql("INSERT INTO item (CV_itemid, SKU) VALUES (?, ?)",
                               {id, id == 2 ? QVariant() : QVariant(QString("S%1").arg(id))}));
        QList<int> got;
        QVariantList ids;
        QVariantList skus;
        const bool whole = m_control->readInBatches(
            "SELECT CV_itemid, SKU FROM item ORDER BY CV_itemid", prepared, 2, 3,
            [&] { return got.size() == cancelAfter; },
            [&](DataControl::RowBatch& batch) {
                QCOMPARE(batch.columns, QStringList({"CV_itemid", "SKU"}));
                QCOMPARE(batch.total, rows);
                got << int(batch.rows.size());
                for (const QVector<QVariant>& row : std::as_const(batch.rows))
                    ids << row[0].toInt(), skus << row[1];
            });
        QCOMPARE(whole, cancelAfter < 0);
        QCOMPARE(got, sizes);
        for (int i = 0; i < ids.size(); ++i)
            QVERIFY(ids[i] == i + 1 && skus[i].isNull() == (i == 1));
    }

    void missingSqliteFileIsReportedNotCreated()
    {
        const QString file = m_inst->path("absent.sqlite");
        DataControl control("adoKBvesk2", "DRIVER={SQLite3 ODBC Driver};DATABASE=" + file,
                            DataControl::kQueryText, "SELECT * FROM item", nullptr);
        VESK_VERIFY_CONTAINS(vesktest::errorOf([&] { control.Refresh(); }), file, "does not exist");
        QVERIFY(!QFile::exists(file));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int failed = 0;
    for (const Kind kind : {Kind::Sqlite, Kind::MariaDb, Kind::Odbc}) {
        DataControlTest test(kind);
        failed += QTest::qExec(&test, argc, argv);
    }
    return failed;
}

#include "tst_datacontrol_mariadb_odbc.moc"
