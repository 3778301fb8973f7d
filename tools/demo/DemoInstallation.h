#pragma once

#include <QString>
#include <stdexcept>

// Writes a complete demo installation folder: the suite's settings files, an
// embedded SQLite item database and suite database, and generated item pictures.
class DemoInstallation
{
public:
    struct Options
    {
        QString dir;
        QString sqlDir;    // the repository's sql/ folder (schemas)
        int items = 300;   // items in the store's database
        int bigEvery = 15; // every n-th picture is a 12 MP one, the rest about 2 MP
        unsigned seed = 20261206;
    };

    explicit DemoInstallation(Options options);

    // Throws std::runtime_error with a clear message on failure.
    void write();

private:
    void prepareFolder();
    void writeSettingsFiles();
    void writeDatabases();
    void writePictures();

    Options m_options;
};
