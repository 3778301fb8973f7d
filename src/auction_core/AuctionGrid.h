#pragma once

#include <QString>
#include <Qt>

// The item grid's layout, shared by the listing that fills it, the editor and
// the pending ends that change it, and the save that reads it.
namespace auctiongrid {

constexpr int kItemColumn = 0; // the item number; the store id the listing read in kListedRole
constexpr int kRetailColumn = 4;
constexpr int kStampColumn = 5; // the end's stamp; the stamp the listing read in kListedRole
constexpr int kDateColumn = 6;
constexpr int kTimeColumn = 7;
constexpr int kColumnCount = 8;

constexpr int kListedRole = Qt::UserRole;
// The colour a cell had before a mark covered it.
constexpr int kColourBeforeMarkRole = Qt::UserRole + 1;

// Dates with the locale's month abbreviations; seconds are always shown as 00.
inline const QString kDateFormat = QStringLiteral("MMM-d-yyyy");
inline const QString kTimeFormat = QStringLiteral("HH:mm:00");

} // namespace auctiongrid
