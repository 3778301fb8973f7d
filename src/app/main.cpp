#include "auction/frmVESKauction.h"
#include "data/Installation.h"
#include "data/ThumbnailDiskCache.h"
#include "data/frmadoHelper.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("cv_veskauction"));
    QApplication::setApplicationVersion(QStringLiteral(CV_VESKAUCTION_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Sets the timed-auction ends of the store's items in the online shop."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption installDir(
        QStringLiteral("install-dir"),
        QStringLiteral("The suite's installation folder (default %1).")
            .arg(Installation::defaultDir()),
        QStringLiteral("DIR"), Installation::defaultDir());
    parser.addOption(installDir);
    parser.process(app);

    const Installation installation(parser.value(installDir));
    frmadoHelper helper(installation);
    helper.pictures().pipeline().setDiskCacheFolder(
        ThumbnailDiskCache::defaultFolder(installation.dir()));

    frmVESKauction window(helper);
    // Gone from the screen at once, even while a database step given up on
    // still waits for its server's time-out before the program can end.
    QObject::connect(&window, &frmVESKauction::programEnded, &window, &QWidget::hide);
    QObject::connect(&window, &frmVESKauction::programEnded, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    if (!window.Form_Load())
        return 0;
    window.show();
    return app.exec();
}
