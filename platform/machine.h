#pragma once

#include <QString>
#include <optional>

namespace platform {

// The computer's name as the system reports it (or as services() names it); empty when it
// cannot be read.
QString ComputerName();

// The folder that holds the running executable.
QString AppPath();

} // namespace platform
