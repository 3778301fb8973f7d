#include "windows/frmLOGO.h"

frmLOGO::frmLOGO(QWidget* parent) : QWidget(parent)
{
    txtLogo = new QLineEdit(this);
    imgLOGO = new QLabel(this);
}

void frmLOGO::loadLogoPicture(const QString&) {}
