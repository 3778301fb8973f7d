#include "data/HandShakeSettings.h"

void GetHandShakeSettings(const Installation&, QString&) {}
