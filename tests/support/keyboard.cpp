#include "support/keyboard.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace testsupport {

void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &press);
    }
}

} // namespace testsupport
