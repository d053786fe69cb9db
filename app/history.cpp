#include "history.h"

namespace app {

int HistoryLength(const History &history)
{
    for (int i = 0; i < HISTORY_SIZE; ++i)
        if (history[i].File.isEmpty())
            return i;
    return HISTORY_SIZE;
}

void AddToHistory(History &history, const HistoryItem &current)
{
    // The walk notes a match before it looks for the end, as the list has always done: an
    // entry with an empty file name can match only the end itself.
    int found = -1;
    int used = HISTORY_SIZE;
    for (int i = 0; i < HISTORY_SIZE; ++i) {
        if (found < 0 && history[i] == current)
            found = i;
        if (history[i].File.isEmpty()) {
            used = i;
            break;
        }
    }
    if (found >= 0 && found < used) {
        for (int i = found; i < used - 1; ++i)
            history[i] = history[i + 1];
        history[used - 1] = current;
    } else if (used < HISTORY_SIZE) {
        history[used] = current;
    } else {
        for (int i = 0; i < HISTORY_SIZE - 1; ++i)
            history[i] = history[i + 1];
        history[HISTORY_SIZE - 1] = current;
    }
}

int StoredHistoryCount(const History &history)
{
    for (int i = HISTORY_SIZE - 1; i >= 0; --i)
        if (!history[i].File.isEmpty())
            return i + 1;
    return 0;
}

QStringList HistoryCaptions(const History &history)
{
    QStringList captions;
    const int used = HistoryLength(history);
    for (int i = 0; i < used; ++i)
        captions.append(QString(history[i].File).replace(QLatin1Char('&'), QLatin1String("&&")));
    return captions;
}

} // namespace app
