#include "DemoInstallation.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

// Writes a demo installation folder for the run command.
int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes a demo installation folder."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("dir"), QStringLiteral("The folder to write."));
    const QCommandLineOption items(QStringLiteral("items"), QStringLiteral("Number of items."),
                                   QStringLiteral("N"), QStringLiteral("300"));
    parser.addOption(items);
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    DemoInstallation::Options options;
    options.dir = QDir(parser.positionalArguments().first()).absolutePath();
    options.sqlDir = QStringLiteral(VESK_SQL_DIR);
    options.items = parser.value(items).toInt();
    try {
        DemoInstallation(options).write();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vesk_make_demo: %s\n", e.what());
        return 1;
    }
    std::printf("Demo installation written to %s\n", qPrintable(options.dir));
    return 0;
}
