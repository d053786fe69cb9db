#include "machine.h"

#include <QCoreApplication>
#include <unistd.h>

namespace platform {

namespace {
std::optional<QString> g_nameOverride;
}

QString ComputerName()
{
    if (g_nameOverride)
        return *g_nameOverride;
    char buffer[2048] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0)
        return QString();
    return QString::fromLocal8Bit(buffer);
}

void setComputerNameOverride(std::optional<QString> name)
{
    g_nameOverride = std::move(name);
}

QString AppPath()
{
    return QCoreApplication::applicationDirPath();
}

} // namespace platform
