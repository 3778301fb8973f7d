#include "DemoInstallation.h"

#include "data/SqlScript.h"

#include <QColor>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QMap>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUuid>
#include <QVector>
#include <QtConcurrent/QtConcurrentMap>

#include <random>

namespace {

const char* const kMarker = ".vesk-demo";
const QString kStoreId = QStringLiteral("1042");

[[noreturn]] void fail(const QString& message)
{
    throw std::runtime_error(message.toStdString());
}

// The suite's files are 8-bit text with CR LF line ends. A file holding
// credentials is made readable by its owner only before anything goes in.
void writeLines(const QString& path, const QStringList& lines, bool ownerOnly = false)
{
    QFile file(path);
    const QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (ownerOnly && file.exists() && !file.setPermissions(owner))
        fail(QStringLiteral("Cannot restrict %1: %2").arg(path, file.errorString()));
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Truncate;
    if (!(ownerOnly ? file.open(mode, owner) : file.open(mode)))
        fail(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    for (const QString& line : lines)
        file.write(line.toLatin1() + "\r\n");
}

enum class PictureRule
{
    ByName,
    ByNameWithoutExtension,
    ByPartNumber,
    BySupplierNumber,
    None,
    Corrupt
};

struct DemoItem
{
    int id = 0;
    QString sku;
    QString description;
    double retail = 0;
    qint64 stamp = 0;
    PictureRule rule = PictureRule::None;
    bool big = false;
};

struct PictureJob
{
    QString path;
    int width = 0;
    int height = 0;
    unsigned seed = 0;
    bool corrupt = false;
};

QVector<DemoItem> makeItems(const DemoInstallation::Options& options)
{
    static const char* const kinds[][2] = {{"RG", "ring"},     {"NK", "necklace"},
                                           {"BR", "bracelet"}, {"ER", "earrings"},
                                           {"PD", "pendant"},  {"WT", "watch"}};
    static const char* const metals[] = {"14K yellow gold", "18K white gold", "sterling silver",
                                         "platinum", "10K rose gold"};
    static const char* const stones[] = {"diamond", "sapphire", "ruby", "emerald",
                                         "pearl",   "amethyst", "topaz"};
    std::mt19937 rng(options.seed);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };

    // Whole minutes, as the clerk picks them.
    const qint64 now = QDateTime::currentSecsSinceEpoch() / 60 * 60;
    QVector<DemoItem> items;
    for (int i = 0; i < options.items; ++i) {
        DemoItem item;
        item.id = 10001 + i;
        const auto& kind = kinds[i % 6];
        item.sku = QStringLiteral("%1-%2%3")
                       .arg(QLatin1String(kind[0]))
                       .arg(QChar(QLatin1Char('A' + pick(3))))
                       .arg(1000 + i);
        const double carat = 0.1 * (1 + pick(30));
        item.description = QStringLiteral("%1 %2 with %3 ct %4")
                               .arg(QLatin1String(metals[pick(5)]), QLatin1String(kind[1]))
                               .arg(carat, 0, 'f', 2)
                               .arg(QLatin1String(stones[pick(7)]));
        item.retail = 49 + pick(1250) * 10 + 0.99 * pick(2);
        switch (i % 5) {
        case 0:
        case 3:
            item.stamp = now + 3600 * (2 + pick(24 * 30)); // running
            break;
        case 1:
            item.stamp = now - 3600 * (1 + pick(24 * 90)); // past
            break;
        default:
            item.stamp = 0; // free
        }
        switch (i % 10) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4:
            item.rule = PictureRule::ByName;
            break;
        case 5:
            item.rule = PictureRule::ByNameWithoutExtension;
            break;
        case 6:
            item.rule = PictureRule::ByPartNumber;
            break;
        case 7:
            item.rule = PictureRule::BySupplierNumber;
            break;
        case 8:
            item.rule = PictureRule::None;
            break;
        default:
            item.rule = PictureRule::ByName;
        }
        if (i == 13)
            item.rule = PictureRule::Corrupt;
        item.big = options.bigEvery > 0 && i % options.bigEvery == 3;
        items.append(item);
    }
    return items;
}

QString pictureFileName(const DemoItem& item)
{
    switch (item.rule) {
    case PictureRule::ByName:
    case PictureRule::ByNameWithoutExtension:
    case PictureRule::Corrupt:
        return QStringLiteral("IMG_%1.jpg").arg(item.id);
    case PictureRule::ByPartNumber:
        return QStringLiteral("PN-%1.jpg").arg(item.id);
    case PictureRule::BySupplierNumber:
        return QStringLiteral("SUP%1.jpg").arg(item.id);
    case PictureRule::None:
        break;
    }
    return {};
}

// A photo-like picture of a piece of jewellery: a soft backdrop, a ring or a
// pendant with a stone, and a little sensor noise so it compresses like a photo.
QImage drawPicture(int width, int height, unsigned seed)
{
    std::mt19937 rng(seed);
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor backdrop = QColor::fromHsv(static_cast<int>(rng() % 360), 25, 235);
    QLinearGradient bg(0, 0, 0, height);
    bg.setColorAt(0, backdrop.lighter(110));
    bg.setColorAt(1, backdrop.darker(130));
    p.fillRect(image.rect(), bg);

    const double cx = width * (0.4 + 0.2 * (rng() % 100) / 100.0);
    const double cy = height * 0.55;
    const double r = std::min(width, height) * 0.28;
    const QColor metal = (rng() % 2) ? QColor(212, 175, 55) : QColor(200, 200, 210);
    QRadialGradient band(cx - r / 3, cy - r / 3, r * 1.6);
    band.setColorAt(0, metal.lighter(160));
    band.setColorAt(0.5, metal);
    band.setColorAt(1, metal.darker(200));
    p.setPen(QPen(QBrush(band), r * 0.18));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(cx, cy), r, r * 0.75);

    const QColor stone = QColor::fromHsv(static_cast<int>(rng() % 360), 200, 230);
    QRadialGradient gem(cx, cy - r * 0.85, r * 0.35);
    gem.setColorAt(0, Qt::white);
    gem.setColorAt(0.3, stone.lighter(130));
    gem.setColorAt(1, stone.darker(180));
    QPainterPath facet;
    const double s = r * 0.3;
    facet.moveTo(cx, cy - r * 0.75 - s);
    facet.lineTo(cx + s, cy - r * 0.75 - s * 0.2);
    facet.lineTo(cx, cy - r * 0.75 + s * 0.8);
    facet.lineTo(cx - s, cy - r * 0.75 - s * 0.2);
    facet.closeSubpath();
    p.setPen(QPen(stone.darker(250), r * 0.02));
    p.setBrush(gem);
    p.drawPath(facet);
    p.end();

    // Sensor noise on every row (cheap, and realistic file sizes).
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = static_cast<int>(rng() % 9) - 4;
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                           std::clamp(qBlue(c) + n, 0, 255));
        }
    }
    return image;
}

void runSqlFile(QSqlDatabase& db, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot read the schema %1: %2").arg(path, file.errorString()));
    const QString error = runSqlScript(db, QString::fromUtf8(file.readAll()));
    if (!error.isEmpty())
        fail(QStringLiteral("Schema %1 failed: %2").arg(path, error));
}

class SqliteFile
{
public:
    explicit SqliteFile(const QString& path) : m_name(QUuid::createUuid().toString())
    {
        QFile::remove(path);
        auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        if (!db.open())
            fail(QStringLiteral("Cannot create %1: %2").arg(path, db.lastError().text()));
    }
    ~SqliteFile()
    {
        {
            auto db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

void exec(QSqlQuery& q)
{
    if (!q.exec())
        fail(QStringLiteral("Demo data: %1").arg(q.lastError().text()));
}

} // namespace

DemoInstallation::DemoInstallation(Options options) : m_options(std::move(options))
{
    if (!m_options.dir.endsWith(QLatin1Char('/')))
        m_options.dir += QLatin1Char('/');
}

void DemoInstallation::write()
{
    prepareFolder();
    writeSettingsFiles();
    writeDatabases();
    writePictures();
}

void DemoInstallation::prepareFolder()
{
    QDir dir(m_options.dir);
    if (dir.exists() && !dir.isEmpty()) {
        // Only a folder this generator made is wiped; anything else is left alone.
        if (!QFile::exists(dir.filePath(QLatin1String(kMarker))))
            fail(QStringLiteral("%1 exists and is not a demo installation; choose another folder")
                     .arg(m_options.dir));
        if (!dir.removeRecursively())
            fail(QStringLiteral("Cannot clear %1").arg(m_options.dir));
    }
    if (!QDir().mkpath(m_options.dir + QStringLiteral("pictures")))
        fail(QStringLiteral("Cannot create %1").arg(m_options.dir));
    writeLines(m_options.dir + QLatin1String(kMarker), {QStringLiteral("demo installation")});
}

void DemoInstallation::writeSettingsFiles()
{
    const QString d = m_options.dir;
    writeLines(d + QStringLiteral("userid.ini"), {kStoreId});
    writeLines(d + QStringLiteral("veskdaylightsavings.ini"), {QStringLiteral("false")});
    writeLines(d + QStringLiteral("camerachoice.ini"), {QStringLiteral("XP")});
    // Stand-in for the program file whose date the window shows as its version.
    writeLines(d + QStringLiteral("cv_veskauction.exe"),
               {QStringLiteral("stand-in program file of the demo installation")});

    // The settings this program and the suite's other tools read; the rest are placeholders.
    const QMap<int, QString> known = {
        {11, QStringLiteral("\"Bijouterie Müller, Fine Jewellery\"")},
        {12, QStringLiteral("1200 Rue Sainte-Catherine Ouest")},
        {13, QStringLiteral("Montreal")},
        {14, QStringLiteral("QC")},
        {15, QStringLiteral("H3B 1K9")},
        {16, QStringLiteral("(514) 555-0142")},
        {17, QStringLiteral("(514) 555-0143")},
        {19, d + QStringLiteral("pictures/")},
        {20, d + QStringLiteral("logo.png")},
        {27, QStringLiteral("Printer3")},
        {52, QStringLiteral("VISA")},
        {53, QStringLiteral("MASTERCARD")},
        {64, d + QStringLiteral("appraisal.rtf")},
        {147, d + QStringLiteral("repairs/")},
    };
    QStringList setup;
    for (int item = 1; item <= 147; ++item)
        setup << known.value(item, QStringLiteral("setting %1").arg(item));
    writeLines(d + QStringLiteral("setup.dic"), setup);

    writeLines(
        d + QStringLiteral("cv_veskauction.ini"),
        {QStringLiteral("; Deployment configuration of this computer (demo installation)."),
         QStringLiteral("; The store's item database: an embedded SQLite file here; a store"),
         QStringLiteral("; with a MySQL server sets server, port, database, user, password,"),
         QStringLiteral("; and how the link is protected (README: the encrypted link):"),
         QStringLiteral(";   tls=verify-identity   (off, preferred, required, verify-ca)"),
         QStringLiteral(";   ca=certs/shop-ca.pem  (the authority of the server's certificate)"),
         QStringLiteral(";   cert=certs/store.pem and key=certs/store-key.pem (optional)"),
         QStringLiteral("[itemdb]"), QStringLiteral("sqlite=items.sqlite"), QString(),
         QStringLiteral("; The suite's database (ODBC data source ODBCCORVANDEL)."),
         QStringLiteral("[suite]"), QStringLiteral("sqlite=suite.sqlite"), QString(),
         QStringLiteral("[textfields]"), QStringLiteral("txtPortNumber=3306")},
        true);

    QImage logo(480, 160, QImage::Format_RGB32);
    logo.fill(QColor(250, 248, 240));
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(150, 110, 20), 6));
    p.drawEllipse(QPointF(80, 80), 50, 50);
    p.setFont(QFont(QStringLiteral("DejaVu Serif"), 28, QFont::Bold));
    p.drawText(QRect(150, 0, 330, 160), Qt::AlignVCenter, QStringLiteral("Bijouterie"));
    p.end();
    if (!logo.save(d + QStringLiteral("logo.png")))
        fail(QStringLiteral("Cannot write the logo picture"));
}

void DemoInstallation::writeDatabases()
{
    const QVector<DemoItem> items = makeItems(m_options);
    {
        SqliteFile file(m_options.dir + QStringLiteral("items.sqlite"));
        QSqlDatabase db = file.db();
        runSqlFile(db, m_options.sqlDir + QStringLiteral("/sqlite/item.sql"));
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO item (CV_itemid, SKU, Description, Retail, "
                                 "auction_until_unix, storeid) VALUES (?, ?, ?, ?, ?, ?)"));
        for (const DemoItem& item : items) {
            q.addBindValue(item.id);
            q.addBindValue(item.sku);
            q.addBindValue(item.description);
            q.addBindValue(item.retail);
            q.addBindValue(item.stamp);
            q.addBindValue(kStoreId);
            exec(q);
        }
        db.commit();
    }
    {
        SqliteFile file(m_options.dir + QStringLiteral("suite.sqlite"));
        QSqlDatabase db = file.db();
        runSqlFile(db, m_options.sqlDir + QStringLiteral("/sqlite/suite.sql"));
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO item (internalitemnumber, Item_PictureName, "
                                 "item_partnumber, SupplierItemNumber) VALUES (?, ?, ?, ?)"));
        for (const DemoItem& item : items) {
            QVariant name, part, supplier;
            switch (item.rule) {
            case PictureRule::ByName:
            case PictureRule::Corrupt:
                name = QStringLiteral("IMG_%1.jpg").arg(item.id);
                break;
            case PictureRule::ByNameWithoutExtension:
                name = QStringLiteral("IMG_%1").arg(item.id);
                break;
            case PictureRule::ByPartNumber:
                name = QStringLiteral("missing_%1.jpg").arg(item.id);
                part = QStringLiteral("PN-%1").arg(item.id);
                supplier = QStringLiteral("SUP%1").arg(item.id);
                break;
            case PictureRule::BySupplierNumber:
                supplier = QStringLiteral("SUP%1").arg(item.id);
                break;
            case PictureRule::None:
                part = QStringLiteral("PN-%1").arg(item.id);
                break;
            }
            q.addBindValue(item.id);
            q.addBindValue(name);
            q.addBindValue(part);
            q.addBindValue(supplier);
            exec(q);
        }
        q.prepare(QStringLiteral(
            "INSERT INTO employees (EmployeeID, FedTax, FedName, ProTax, ProName, SMSDiscount, "
            "SMSRetailValue, SMSReturnValue, SMSDayEndPhone) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        const QVariantList rows[] = {
            {2, 0.05, QStringLiteral("GST"), 0.09975, QStringLiteral("QST"), 15, 5000, 800,
             QStringLiteral("514-555-0199")},
            {1, 0.05, QStringLiteral("GST"), 0.09975, QStringLiteral("QST"), QVariant(), 2500, 500,
             QStringLiteral("514-555-0100")}};
        for (const QVariantList& row : rows) {
            for (const QVariant& v : row)
                q.addBindValue(v);
            exec(q);
        }
        db.commit();
    }
}

void DemoInstallation::writePictures()
{
    const QVector<DemoItem> items = makeItems(m_options);
    QVector<PictureJob> jobs;
    for (const DemoItem& item : items) {
        const QString name = pictureFileName(item);
        if (name.isEmpty())
            continue;
        PictureJob job;
        job.path = m_options.dir + QStringLiteral("pictures/") + name;
        job.width = item.big ? 4000 : 1600;
        job.height = item.big ? 3000 : 1200;
        job.seed = m_options.seed + static_cast<unsigned>(item.id);
        job.corrupt = item.rule == PictureRule::Corrupt;
        jobs.append(job);
    }
    QtConcurrent::blockingMap(jobs, [](const PictureJob& job) {
        QFile file(job.path);
        if (job.corrupt) {
            // A JPEG cut short after its header: exists, but is no readable picture.
            if (file.open(QIODevice::WriteOnly))
                file.write(QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11) +
                           QByteArray(64, 'x'));
            return;
        }
        drawPicture(job.width, job.height, job.seed).save(job.path, "JPG", 88);
    });
    for (const PictureJob& job : jobs)
        if (!QFile::exists(job.path))
            fail(QStringLiteral("Cannot write the picture %1").arg(job.path));
}
