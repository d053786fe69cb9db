#pragma once

// The main window while it waits for the file browser or the server. Both go on processing
// window events, so the window stays disabled until the whole operation has finished.

#include <QPointer>

class QWidget;

namespace app {

// Disables the window for the scope; then restores its state and gives the focus back.
class WindowLock {
public:
    explicit WindowLock(QWidget &window);
    ~WindowLock();
    WindowLock(const WindowLock &) = delete;
    WindowLock &operator=(const WindowLock &) = delete;

private:
    QWidget &m_window;
    QPointer<QWidget> m_focus;
    bool m_wasEnabled;
};

} // namespace app
