#include "serverwait.h"

#include "app/frmMain.h"

#include <QApplication>
#include <QProgressBar>

namespace app {

namespace {

const QString kPanel = QStringLiteral("filename");

} // namespace

WindowLock::WindowLock(QWidget &window)
    : m_window(window)
    , m_focus(window.focusWidget())
    , m_wasEnabled(window.isEnabled())
{
    m_window.setEnabled(false);
}

WindowLock::~WindowLock()
{
    m_window.setEnabled(m_wasEnabled);
    if (m_focus && m_wasEnabled)
        m_focus->setFocus();
}

ProgressNote::ProgressNote(frmMain &window, const QString &text)
    : m_window(window)
    , m_previous(window.PanelText(kPanel))
{
    m_window.SetPanelText(kPanel, text);
    m_window.BusyIndicator()->show();
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

ProgressNote::~ProgressNote()
{
    QApplication::restoreOverrideCursor();
    m_window.BusyIndicator()->hide();
    m_window.SetPanelText(kPanel, m_previous);
}

} // namespace app
