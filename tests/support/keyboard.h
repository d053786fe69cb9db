#pragma once

#include <QString>

class QWidget;

namespace testsupport {

// Types text into a widget as key events that carry it, one per character: the way to type
// Japanese, on which QTest::keyClicks aborts.
void typeText(QWidget *widget, const QString &text);

} // namespace testsupport
