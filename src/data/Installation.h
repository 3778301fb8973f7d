#pragma once

#include <QString>

// The suite's installation folder. Every path of the program is derived from
// this one value, so tests can run on a temporary folder.
class Installation
{
public:
    explicit Installation(QString dir = defaultDir());

    static QString defaultDir();

    QString dir() const { return m_dir; }
    // Full path of a file directly in the installation folder.
    QString filePath(const QString& fileName) const;

    QString userIdFile() const { return filePath(QStringLiteral("userid.ini")); }
    QString daylightSavingsFile() const { return filePath(QStringLiteral("veskdaylightsavings.ini")); }
    QString progressMarkerFile() const { return filePath(QStringLiteral("vesk_error.ini")); }
    QString handshakeSettingsFile() const { return filePath(QStringLiteral("handshakesettings.ini")); }
    QString setupDicFile() const { return filePath(QStringLiteral("setup.dic")); }
    QString cameraChoiceFile() const { return filePath(QStringLiteral("camerachoice.ini")); }
    QString programFile() const { return filePath(QStringLiteral("cv_veskauction.exe")); }
    // Every save of auction ends, row by row, appended before it writes.
    QString auctionJournalFile() const { return filePath(QStringLiteral("auction_journal.csv")); }
    // Deployment configuration: database servers, credentials, helper text fields.
    QString connectionsFile() const { return filePath(QStringLiteral("cv_veskauction.ini")); }

private:
    QString m_dir; // always ends with a separator
};
