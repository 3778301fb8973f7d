#pragma once

#include <QString>
#include <QVariant>

// The program-wide settings fields, filled at start-up by the installation
// settings reader. Every field starts at its type's empty value.
struct SettingsRecord
{
    qint16 ScannerPort1 = 0, ScannerPort2 = 0, ScannerPort3 = 0, ScannerPort4 = 0,
           ScannerPort5 = 0, ScannerPort6 = 0, ScannerPort7 = 0, ScannerPort8 = 0,
           ScannerPort9 = 0, ScannerPort10 = 0, ScannerPort11 = 0, ScannerPort12 = 0,
           ScannerPort13 = 0, ScannerPort14 = 0, ScannerPort15 = 0;
    QString LocationName1, LocationName2, LocationName3, LocationName4, LocationName5,
        LocationName6, LocationName7, LocationName8, LocationName9, LocationName10,
        LocationName11, LocationName12, LocationName13, LocationName14, LocationName15;
    bool Loc_DeActivate1 = false, Loc_DeActivate2 = false, Loc_DeActivate3 = false,
         Loc_DeActivate4 = false, Loc_DeActivate5 = false, Loc_DeActivate6 = false,
         Loc_DeActivate7 = false, Loc_DeActivate8 = false, Loc_DeActivate9 = false,
         Loc_DeActivate10 = false, Loc_DeActivate11 = false, Loc_DeActivate12 = false,
         Loc_DeActivate13 = false, Loc_DeActivate14 = false, Loc_DeActivate15 = false;
    bool LocationDeticated1 = false, LocationDeticated2 = false, LocationDeticated3 = false,
         LocationDeticated4 = false, LocationDeticated5 = false, LocationDeticated6 = false,
         LocationDeticated7 = false, LocationDeticated8 = false, LocationDeticated9 = false,
         LocationDeticated10 = false, LocationDeticated11 = false, LocationDeticated12 = false,
         LocationDeticated13 = false, LocationDeticated14 = false, LocationDeticated15 = false;
    QString Card1, Card2;
    QString ODBC1, ODBC2, ODBC3, ODBC4, ODBC5;
    QString Store1, Store2, Store3, Store4, Store5;
    QString PictureServer;
    QString PicFolder;
    QString RepairPicServer;
    QVariant CustomerExchangeServerStoreID;
    QString Number0, Number1, Number2, Number3, Number4, Number5, Number6, Number7, Number8,
        Number9;
    QString CompName, CompStreet, CompCity, CompState, CompZip, CompPhone, CompFax;
    QString CompLogo;
    qint16 PrinterCom = 0;
    QString CameraChoice;
    QString AppraisalTemp;
    QString SaveAsFileNameCaptureCamera10;
    bool FoundThisImage = false;
    double Tax1 = 0;
    QString Tax1Name;
    double Tax2 = 0;
    QString Tax2Name;
    bool AllowJobBagSeeCost = false;
    double SMSDiscount = 0;
    double SMSRetailValue = 0;
    double SMSReturnValue = 0;
    QString SMSDayEndPhone, SMSDiscountPhone, SMSItemDeletePhone, SMSLogInLogOutPhone,
        SMSRetailValuePhone, SMSReturnValuePhone;
};
