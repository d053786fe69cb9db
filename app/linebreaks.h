#pragma once

// The document's line-break style. The editing view holds paragraphs: a CR LF, a lone LF and a
// lone CR of the text it is given each end one. The document as it leaves the program (the counts,
// a save, a print) ends them with the document's one style. A document whose line breaks are all
// LF or all CR LF, or that has none, keeps them byte for byte when opened and saved unedited. A
// document with any CR LF is saved with CR LF throughout, its lone LFs and lone CRs included.
// Lone CRs are never kept: without a CR LF they become LF in a document that has an LF, and
// CR LF otherwise.

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
