#pragma once

// The recent-files list: ten places, used from the first without gaps, the oldest entry first
// and the most recent last. An entry is a remote folder path and a file name; a place whose
// file name is empty ends the list.

#include <QString>
#include <QStringList>
#include <array>

namespace app {

struct HistoryItem {
    QString Path;
    QString File;
    bool operator==(const HistoryItem &) const = default;
};

inline constexpr int HISTORY_SIZE = 10;
using History = std::array<HistoryItem, HISTORY_SIZE>;

// Entries in use: the index of the first place whose file name is empty, or 10.
int HistoryLength(const History &history);

// Records current as the most recent entry: an entry already listed moves to the end, a new
// one is appended, and a full list drops its oldest entry to make room.
void AddToHistory(History &history, const HistoryItem &current);

// The "Count" kept in the store: 1 + the index of the last place with a file name, or 0.
int StoredHistoryCount(const History &history);

// The captions of the recent-files submenu, top to bottom: the file names of the entries in
// use, menu mnemonics escaped so that a name with "&" reads as it is.
QStringList HistoryCaptions(const History &history);

} // namespace app
