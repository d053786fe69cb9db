#pragma once

// For the opening benchmark (bench/open): when LUMENO_PAINT_REPORT names a file, the editing
// box writes there, once each, the wall-clock time in nanoseconds when it first paints
// ("paint"), first paints text ("text") and first paints text in an enabled window, the whole
// document in ("loaded"). Without the variable nothing is installed and nothing is paid.

class QPlainTextEdit;

namespace app {

void ReportPaintsIfAsked(QPlainTextEdit *box);

} // namespace app
