#include "draftschedule.h"

#include <algorithm>

namespace app {

void DraftSchedule::Changed(qint64 now)
{
    if (!m_firstChange)
        m_firstChange = now;
    m_lastChange = now;
}

qint64 DraftSchedule::DueAt() const
{
    return std::min(m_lastChange + kPause, m_firstChange.value_or(m_lastChange) + kLongest);
}

} // namespace app
