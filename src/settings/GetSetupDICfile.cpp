#include "settings/GetSetupDICfile.h"

#include "data/frmadoHelper.h"

void GetSetupDICfile(frmadoHelper&, const std::function<void(const QString&)>&) {}
