#pragma once

// When the draft of a modified document is written: a short while after typing pauses, and
// at least every so often while typing goes on, so that a long stretch of typing is never only
// in memory. Times are milliseconds on any clock that does not go back.

#include <QtGlobal>
#include <optional>

namespace app {

class DraftSchedule {
public:
    static constexpr qint64 kPause = 2000; // after the last change
    static constexpr qint64 kLongest = 30000; // after the first change not yet written

    // The text changed now.
    void Changed(qint64 now);
    // Nothing left to write: the draft was written, or the document is no longer modified.
    void Clear() { m_firstChange.reset(); }
    bool Pending() const { return m_firstChange.has_value(); }
    // When the draft is due; only while Pending().
    qint64 DueAt() const;
    bool Due(qint64 now) const { return Pending() && now >= DueAt(); }

private:
    std::optional<qint64> m_firstChange;
    qint64 m_lastChange = 0;
};

} // namespace app
