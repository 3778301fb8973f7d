#pragma once

#include <QByteArray>
#include <QString>

// The suite's files are Windows-1252 text on every platform.

// Characters without a Windows-1252 code become '?'. The five codes the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to U+0081 etc. and
// back, so any byte string survives decode and encode unchanged.
QByteArray encodeCp1252(const QString& text);
QString decodeCp1252(const QByteArray& bytes);
