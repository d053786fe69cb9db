#pragma once

#include <QString>
#include <optional>

namespace platform {

// The computer's name as the system reports it; empty when it cannot be read.
QString ComputerName();
// Tests pretend to be another computer; std::nullopt returns to the real name.
void setComputerNameOverride(std::optional<QString> name);

// The folder that holds the running executable.
QString AppPath();

} // namespace platform
