#pragma once

#include <QIcon>
#include <QString>

namespace resources {

// A compiled-in picture by its path below resources/, e.g. Picture("toolbar/new.svg").
QIcon Picture(const QString &relativePath);

} // namespace resources
