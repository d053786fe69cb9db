#pragma once

#include <QUrl>

namespace platform {

// The desktop's "open": web addresses go to the browser, local files to their viewer.
class Shell {
public:
    virtual ~Shell() = default;
    virtual void Open(const QUrl &address) = 0;
};

// The shell services() names.
Shell &shell();

} // namespace platform
