#include "data/frmadoHelper.h"

#include "data/ExportRoutines.h"
#include "data/FileRoutines.h"
#include "data/HandShakeSettings.h"

namespace {
const QString kLocalDsn = QStringLiteral("DSN=ODBCCORVANDEL");
const QString kLocalDsnMixed = QStringLiteral("DSN=ODBCCorvandel");

// The template of the Marrowin connection: SET_marrowin_ADO fills in its words.
QString marrowinTemplate()
{
    return QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\""
                          "DRIVER={MySQL ODBC 3.51 Driver};DESC=;DATABASE=databasename;"
                          "SERVER=servername;UID=username;PASSWORD=passwordname;PORT=portnumber;"
                          "Option=16387;Promt=complete;STMT=;\"");
}

} // namespace

frmadoHelper::frmadoHelper(const Installation& installation, QObject* parent)
    : QObject(parent), m_installation(installation),
      m_config(ConnectionConfig::load(installation.connectionsFile())),
      ado(QStringLiteral("ado"), kLocalDsn, DataControl::kQueryText, QString(), &m_config),
      ado2(QStringLiteral("ado2"), kLocalDsn, DataControl::kQueryText, QString(), &m_config),
      ado5(QStringLiteral("ado5"), kLocalDsn, DataControl::kQueryText, QString(), &m_config),
      ado3(QStringLiteral("ado3"), kLocalDsn, DataControl::kQueryText, QString(), &m_config),
      adoOrvisto(QStringLiteral("adoOrvisto"),
                 m_config.remoteConnectionString(QStringLiteral("directory")),
                 DataControl::kTableName, QString(), &m_config),
      adoOrvisto1(QStringLiteral("adoOrvisto1"),
                  m_config.remoteConnectionString(QStringLiteral("directory")),
                  DataControl::kTableName, QString(), &m_config),
      adoGetPic(QStringLiteral("adoGetPic"), kLocalDsn, DataControl::kQueryText, QString(),
                &m_config),
      adoRemote(QStringLiteral("adoRemote"), kLocalDsnMixed, DataControl::kQueryText, QString(),
                &m_config),
      adoRemote2(QStringLiteral("adoRemote2"), kLocalDsnMixed, DataControl::kQueryText, QString(),
                 &m_config),
      Adodc1(QStringLiteral("Adodc1"), kLocalDsnMixed, DataControl::kQueryText, QString(),
             &m_config),
      adoRemoteDetail(QStringLiteral("adoRemoteDetail"), kLocalDsnMixed, DataControl::kQueryText,
                      QString(), &m_config),
      adoTool(QStringLiteral("adoTool"), kLocalDsn, DataControl::kQueryText, QString(), &m_config),
      adoKB(QStringLiteral("adoKB"), m_config.remoteConnectionString(QStringLiteral("catalogue")),
            DataControl::kTableName, QStringLiteral("item"), &m_config),
      adoKBvesk(QStringLiteral("adoKBvesk"),
                m_config.remoteConnectionString(QStringLiteral("itemdb")), DataControl::kTableName,
                QStringLiteral("item"), &m_config),
      adoKBvesk1(QStringLiteral("adoKBvesk1"),
                 m_config.remoteConnectionString(QStringLiteral("itemdb")), DataControl::kTableName,
                 QStringLiteral("item"), &m_config),
      adoKBvesk2(QStringLiteral("adoKBvesk2"),
                 m_config.remoteConnectionString(QStringLiteral("itemdb")), DataControl::kTableName,
                 QStringLiteral("item"), &m_config),
      adoMarrowin(QStringLiteral("adoMarrowin"), marrowinTemplate(), DataControl::kTableName,
                  QString(), &m_config),
      txtserverNAME(m_config.textFieldDefault(QStringLiteral("txtserverNAME"))),
      txtdatabaseNAME(m_config.textFieldDefault(QStringLiteral("txtdatabaseNAME"))),
      txtuserNAME(m_config.textFieldDefault(QStringLiteral("txtuserNAME"))),
      txtpasswordNAME(m_config.textFieldDefault(QStringLiteral("txtpasswordNAME"))),
      txtPortNumber(m_config.textFieldDefault(QStringLiteral("txtPortNumber"))),
      txtMarrowinFTPserver(m_config.textFieldDefault(QStringLiteral("txtMarrowinFTPserver"))),
      txtMarrowinFTPuser(m_config.textFieldDefault(QStringLiteral("txtMarrowinFTPuser"))),
      txtMarrowinFTPpw(m_config.textFieldDefault(QStringLiteral("txtMarrowinFTPpw"))),
      txtMarrowinFTPfolder(m_config.textFieldDefault(QStringLiteral("txtMarrowinFTPfolder"))),
      m_pictures(adoGetPic, PictureServer)
{
    if (!m_config.hasKey(QStringLiteral("textfields"), QStringLiteral("txtPortNumber")))
        txtPortNumber = QStringLiteral("3306");
}

frmadoHelper::~frmadoHelper() = default;

QList<DataControl*> frmadoHelper::dataControls()
{
    return {&ado,       &ado2,      &ado5,       &ado3,       &adoOrvisto,      &adoOrvisto1,
            &adoGetPic, &adoRemote, &adoRemote2, &Adodc1,     &adoRemoteDetail, &adoTool,
            &adoKB,     &adoKBvesk, &adoKBvesk1, &adoKBvesk2, &adoMarrowin};
}

void frmadoHelper::SET_marrowin_ADO()
{
    const std::pair<QString, const QString*> steps[] = {
        {QStringLiteral("servername"), &txtserverNAME},
        {QStringLiteral("databasename"), &txtdatabaseNAME},
        {QStringLiteral("username"), &txtuserNAME},
        {QStringLiteral("passwordname"), &txtpasswordNAME},
        {QStringLiteral("portnumber"), &txtPortNumber},
    };
    for (const auto& [word, text] : steps)
        adoMarrowin.ConnectionString = adoMarrowin.ConnectionString.replace(word, *text);
}

void frmadoHelper::GetPictureByItemID(qint32 ItemID, qint32 PicSize, bool& FoundThisImage)
{
    m_pictures.GetPictureByItemID(ItemID, PicSize, FoundThisImage);
}

void frmadoHelper::GetPicture(const QString& PictureServer, const QString& SKU, qint32 PicSize,
                              bool& Found)
{
    m_pictures.GetPicture(PictureServer, SKU, PicSize, Found);
}

void frmadoHelper::GetPictureWithDirectFileName(const QString& ImageFileName, qint32 PicSize)
{
    m_pictures.GetPictureWithDirectFileName(ImageFileName, PicSize);
}

bool frmadoHelper::FileExists(const QString& path) const
{
    return ::FileExists(path);
}

void frmadoHelper::WriteFile(const QString& path, const QString& Text) const
{
    ::WriteFile(path, Text);
}

void frmadoHelper::writeProgressWord(const QString& word) const
{
    ::writeProgressWord(m_installation, word);
}

QString frmadoHelper::CleanStringForExport(const QString& InString) const
{
    return ::CleanStringForExport(InString);
}

QString frmadoHelper::EncryptPassword(const QString& Password) const
{
    return ::EncryptPassword(Password);
}

QString frmadoHelper::DecryptPassword(const QString& Password) const
{
    return ::DecryptPassword(Password);
}

QStringList frmadoHelper::GetHandShakeSettings()
{
    return ::GetHandShakeSettings(m_installation, PictureServer);
}
