#pragma once

// What the editor's benchmarks share: the document they measure and a stopwatch.

#include "platform/cp932.h"

#include <QElapsedTimer>
#include <QString>
#include <functional>

namespace bench {

// About 10 MB in code page 932, CR LF line breaks.
inline QString SampleText()
{
    const QString line
        = QStringLiteral("吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。ﾊﾝｶｸ ABC 123\r\n");
    const qsizetype lineBytes = cp932::ByteCount(line);
    QString text;
    for (qsizetype bytes = 0; bytes < 10 * 1000 * 1000; bytes += lineBytes)
        text += line;
    return text;
}

inline double Milliseconds(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

} // namespace bench
