#pragma once

#include <QString>

class QWidget;

namespace testsupport {

// How a window's named controls stand, one line each: class, name, place in the window, size,
// and what shows of them (hidden, disabled, their own font, a button's caption, a toolbar's
// icon size); then the tab order. Compared with tests/data/layout/NAME.txt, it catches a control
// left out of its layout, a stretch or a size lost, a font or tab order changed. Empty when the
// same; otherwise the first line that differs. With LUMENO_UPDATE_LAYOUT=1 in the environment the
// file is written instead: look at the change before committing it.
QString LayoutDifference(QWidget *window, const QString &name);

} // namespace testsupport
