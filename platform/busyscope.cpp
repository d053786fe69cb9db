#include "busyscope.h"

#include <QApplication>
#include <QWidget>

namespace platform {

BusyScope::BusyScope(QWidget &form, int &busyCount)
    : m_form(form)
    , m_busyCount(busyCount)
    , m_focus(form.focusWidget())
{
    if (m_busyCount++ == 0) {
        m_form.setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
}

BusyScope::~BusyScope()
{
    if (--m_busyCount != 0)
        return;
    QApplication::restoreOverrideCursor();
    m_form.setEnabled(true);
    if (m_focus)
        m_focus->setFocus();
}

} // namespace platform
