#pragma once

#include <QtGlobal>

// Timing and heights of the message window; lengths in twips.
namespace MessageLayout {

constexpr int CharactersPerLine = 15;
constexpr qint64 LineHeight = 735;
constexpr qint64 PictureRoom = 1250;
constexpr int MinimumInterval = 2000;
constexpr int ShortTextInterval = 3000;

// Milliseconds the message stays: 10 per character, 3000 when that is below 2000.
int timerInterval(qsizetype length);

// One line per 15 characters, at least one line so that short texts show.
qint64 labelHeight(qsizetype length);

// Label height plus room for the picture, no taller than the available height
// (ignored when not positive).
qint64 windowHeight(qint64 labelHeight, double availableHeight);

} // namespace MessageLayout
