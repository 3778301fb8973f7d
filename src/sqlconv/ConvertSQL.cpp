#include "sqlconv/ConvertSQL.h"

QString ConvertSQL(const QString& query) { return query; }
