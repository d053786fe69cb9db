#include "printing.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRegularExpression>
#include <QTextLayout>

namespace app {

namespace {

QTextOption PrintedLineOption(const QFont &font, QPaintDevice &device)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // Tab stops every eight characters, as on screen.
    option.setTabStopDistance(QFontMetricsF(font, &device).horizontalAdvance(QLatin1Char(' ')) * 8);
    return option;
}

} // namespace

bool PrintText(QPagedPaintDevice &device, const QString &text)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    // The font a painter starts with on this device: the program chooses none of its own.
    const QFont font(painter.font(), &device);
    const QTextOption option = PrintedLineOption(font, device);
    const qreal pageWidth = device.width();
    const qreal pageHeight = device.height();

    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    qreal y = 0;
    bool ok = true;
    for (const QString &line : text.split(lineBreak)) {
        QTextLayout layout(line, font, &device);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
            row.setLeadingIncluded(true);
            row.setLineWidth(pageWidth);
        }
        layout.endLayout();
        for (int i = 0; i < layout.lineCount() && ok; ++i) {
            const QTextLine row = layout.lineAt(i);
            if (y > 0 && y + row.height() > pageHeight) {
                ok = device.newPage();
                y = 0;
            }
            row.draw(&painter, QPointF(0, y - row.y()));
            y += row.height();
        }
    }
    return painter.end() && ok;
}

} // namespace app
