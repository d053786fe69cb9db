#pragma once

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace testsupport {

// Types text into a widget as key events that carry it, one per character: the way to type
// Japanese, on which QTest::keyClicks aborts.
inline void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &press);
    }
}

} // namespace testsupport
