#include "linebreaks.h"

namespace app {

LineBreakStyle DetectLineBreaks(QStringView text)
{
    const qsizetype firstLf = text.indexOf(u'\n');
    if (firstLf < 0 || text.contains(u"\r\n"))
        return LineBreakStyle::CrLf;
    return LineBreakStyle::Lf;
}

QString LineBreakText(LineBreakStyle style)
{
    return style == LineBreakStyle::Lf ? QStringLiteral("\n") : QStringLiteral("\r\n");
}

int LineBreakLength(LineBreakStyle style)
{
    return style == LineBreakStyle::Lf ? 1 : 2;
}

QString TextWithLineBreaks(QStringView rawText, LineBreakStyle style)
{
    QString text = rawText.toString();
    const QChar paragraph(QChar::ParagraphSeparator);
    if (style == LineBreakStyle::Lf)
        return text.replace(paragraph, QLatin1Char('\n'));
    return text.replace(paragraph, QLatin1String("\r\n"));
}

} // namespace app
