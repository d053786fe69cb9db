#include "transferprogress.h"

#include <QLocale>
#include <algorithm>

namespace app {

namespace {

QString Kilobytes(qint64 bytes)
{
    return QLocale(QLocale::English).toString((bytes + 1023) / 1024);
}

} // namespace

QString TransferProgressText(qint64 done, qint64 total)
{
    if (total <= 0)
        return Kilobytes(done) + QStringLiteral(" KB");
    const qint64 percent = std::min<qint64>(100, done * 100 / total);
    return QStringLiteral("%1 / %2 KB (%3%)").arg(Kilobytes(done), Kilobytes(total), QString::number(percent));
}

} // namespace app
