#pragma once

#include <QUrl>

namespace platform {

// The desktop's "open": web addresses go to the browser, local files to their viewer.
class Shell {
public:
    virtual ~Shell() = default;
    virtual void Open(const QUrl &address) = 0;
};

Shell &shell();
void setShell(Shell *shell);   // nullptr: back to QDesktopServices

} // namespace platform
