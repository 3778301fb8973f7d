#pragma once

#include <QString>

// The item grid's columns, shared by the model that holds the rows, the
// listing that fills it and the editor over it.
namespace auctiongrid {

constexpr int kItemColumn = 0; // the item number, over its picture
constexpr int kRetailColumn = 4;
constexpr int kStampColumn = 5; // the end's stamp
constexpr int kDateColumn = 6;
constexpr int kTimeColumn = 7;
constexpr int kColumnCount = 8;

// Dates with the locale's month abbreviations; seconds are always shown as 00.
inline const QString kDateFormat = QStringLiteral("MMM-d-yyyy");
inline const QString kTimeFormat = QStringLiteral("HH:mm:00");

} // namespace auctiongrid
