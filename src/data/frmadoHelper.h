#pragma once

#include "data/ConnectionConfig.h"
#include "data/DataControl.h"
#include "data/Installation.h"
#include "data/ItemPictures.h"
#include "data/SettingsRecord.h"

#include <QList>
#include <QObject>
#include <QString>
#include <optional>

// The program's data access helper: the data controls, the settings record,
// and the shared routines for files, strings and item pictures. The program
// makes one for its installation and hands it to its window; tests build their
// own on temporary folders.
class frmadoHelper : public QObject, public SettingsRecord
{
    Q_OBJECT
public:
    explicit frmadoHelper(const Installation& installation, QObject* parent = nullptr);
    ~frmadoHelper() override;

    const Installation& installation() const { return m_installation; }
    const ConnectionConfig& config() const { return m_config; }

private:
    Installation m_installation;
    ConnectionConfig m_config;

public:
    // The seventeen data controls, in their declared order.
    DataControl ado;
    DataControl ado2;
    DataControl ado5;
    DataControl ado3;
    DataControl adoOrvisto;
    DataControl adoOrvisto1;
    DataControl adoGetPic;
    DataControl adoRemote;
    DataControl adoRemote2;
    DataControl Adodc1;
    DataControl adoRemoteDetail;
    DataControl adoTool;
    DataControl adoKB;
    DataControl adoKBvesk;
    DataControl adoKBvesk1;
    DataControl adoKBvesk2;
    DataControl adoMarrowin;
    QList<DataControl*> dataControls();

    // Connection settings of one remote database and one upload destination.
    QString txtserverNAME;
    QString txtdatabaseNAME;
    QString txtuserNAME;
    QString txtpasswordNAME;
    QString txtPortNumber;
    QString txtMarrowinFTPserver;
    QString txtMarrowinFTPuser;
    QString txtMarrowinFTPpw;
    QString txtMarrowinFTPfolder;

    // Fills in the connection string of adoMarrowin from the five connection text fields.
    void SET_marrowin_ADO();

    // Item pictures: the scaled copy is left in pictures().Picture2.
    ItemPictures& pictures() { return m_pictures; }
    void GetPictureByItemID(qint32 ItemID, qint32 PicSize, bool& FoundThisImage);
    void GetPicture(const QString& PictureServer, const QString& SKU, qint32 PicSize, bool& Found);
    void GetPictureWithDirectFileName(const QString& ImageFileName, qint32 PicSize);

    // Files and strings.
    bool FileExists(const QString& path) const;
    void WriteFile(const QString& path, const QString& Text) const;
    // Overwrites the progress-marker file with one word; throws FileError on failure.
    void writeProgressWord(const QString& word) const;
    QString CleanStringForExport(const QString& InString) const;
    QString EncryptPassword(const QString& Password) const;
    QString DecryptPassword(const QString& Password) const;
    // Throws FileError for an unreadable file; returns the failed marker write's message, if any.
    QStringList GetHandShakeSettings();

private:
    ItemPictures m_pictures;
};
