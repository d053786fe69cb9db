#include "shell.h"

#include <QDesktopServices>

namespace platform {

namespace {

class DesktopShell final : public Shell {
public:
    void Open(const QUrl &address) override { QDesktopServices::openUrl(address); }
};

Shell *g_shell = nullptr;

} // namespace

Shell &shell()
{
    if (g_shell)
        return *g_shell;
    static DesktopShell desktop;
    return desktop;
}

void setShell(Shell *s)
{
    g_shell = s;
}

} // namespace platform
