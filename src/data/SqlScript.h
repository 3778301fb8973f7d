#pragma once

#include <QSqlDatabase>
#include <QString>

// Runs a script of statements separated by semicolons (a schema file, test
// data) on an open database, statement by statement, stopping at the first
// failure. Returns the failure with the statement that failed; empty on success.
QString runSqlScript(QSqlDatabase db, const QString& script);
