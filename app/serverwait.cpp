#include "serverwait.h"

#include <QWidget>

namespace app {

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

} // namespace app
