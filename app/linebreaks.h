#pragma once

// The document's line-break style. The editing view holds paragraphs; the document itself has
// line breaks, and every text that leaves the program (the counts, a save, a print) uses the
// style the document came with, so that a file opened and saved unedited comes back unchanged.

#include <QString>
#include <QStringView>

namespace app {

enum class LineBreakStyle {
    CrLf, // CR LF: a new document, or one opened with CR LF line breaks
    Lf, // LF alone: a document opened with LF line breaks only
};

// LF when the text breaks its lines with LF alone and never with CR LF; CR LF otherwise,
// also for a text without line breaks.
LineBreakStyle DetectLineBreaks(QStringView text);

QString LineBreakText(LineBreakStyle style);
int LineBreakLength(LineBreakStyle style);

// The text of a view's raw form (paragraphs separated by U+2029) with the style's line breaks.
// Every other character, U+00A0 included, stays as it is.
QString TextWithLineBreaks(QStringView rawText, LineBreakStyle style);

} // namespace app
