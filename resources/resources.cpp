#include "resources.h"

namespace resources {

QIcon Picture(const QString &relativePath)
{
    return QIcon(QStringLiteral(":/") + relativePath);
}

} // namespace resources
