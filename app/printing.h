#pragma once

// The printed page: the document's text as it stands, in the device's default font, without
// margins, headers or page numbers of the program's own.

#include <QString>

class QPagedPaintDevice;

namespace app {

// Prints the text as one job on the device: every line of the text starts a new line on paper,
// a line wider than the page wraps at the page edge (at a blank where it can, anywhere
// otherwise), and a new page begins when the next line no longer fits. Line breaks may be CR
// LF, LF or CR. False when the device cannot start or finish the job.
bool PrintText(QPagedPaintDevice &device, const QString &text);

} // namespace app
