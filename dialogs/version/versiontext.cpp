#include "versiontext.h"

namespace version {

VersionNumbers ProgramVersion()
{
    return { LUMENO_VERSION_MAJOR, LUMENO_VERSION_MINOR, LUMENO_REVISION };
}

QString VersionText(int major, int minor, int revision)
{
    QString text = QStringLiteral("Ver%1.%2").arg(major).arg(minor, 2, 10, QLatin1Char('0'));
    if (revision >= 1000)
        text += QChar(char16_t(96 + revision / 1000));
    return text;
}

QString CurrentVersionText(const VersionNumbers &numbers)
{
    return QStringLiteral("%1.%2.%3")
        .arg(numbers.major)
        .arg(numbers.minor, 2, 10, QLatin1Char('0'))
        .arg(numbers.revision, 4, 10, QLatin1Char('0'));
}

QString BuildText(int revision)
{
    if (revision >= 1000 && revision % 1000 >= 100)
        return QStringLiteral("build ") + QString::number(revision);
    return QString();
}

} // namespace version
