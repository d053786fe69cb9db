#pragma once

// The main window while it waits for the server. The request goes on processing window
// events, so the window stays disabled until the whole operation has finished, and the status
// bar says what is happening.

#include <QPointer>
#include <QString>

class QWidget;
class frmMain;

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

// For the scope of one request: the "filename" panel shows the text, the busy indicator and
// the wait cursor are up; afterwards the panel's previous text returns.
class ProgressNote {
public:
    ProgressNote(frmMain &window, const QString &text);
    ~ProgressNote();
    ProgressNote(const ProgressNote &) = delete;
    ProgressNote &operator=(const ProgressNote &) = delete;

private:
    frmMain &m_window;
    QString m_previous;
};

} // namespace app
