#pragma once

#include <QPointer>

class QWidget;

namespace platform {

// While a dialog's request waits for its reply, window events go on: the dialog stays disabled
// so that nothing can start a second request, and the wait cursor says the program is working.
// Scopes nest through the dialog's count (which also tells it not to close meanwhile); when the
// outermost ends, the focus goes back where it was, since disabling took it away.
class BusyScope {
public:
    BusyScope(QWidget &form, int &busyCount);
    ~BusyScope();
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    QWidget &m_form;
    int &m_busyCount;
    QPointer<QWidget> m_focus;
};

} // namespace platform
