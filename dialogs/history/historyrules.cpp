#include "dialogs/history/historyrules.h"

#include <QStringList>

namespace history {

std::optional<Item> ParseVersionLine(const QString &line)
{
    const QStringList fields = line.split(QLatin1Char('\t'));
    if (fields.size() < 3 || fields.at(0).isEmpty())
        return std::nullopt;
    return Item { fields.at(0), {}, {}, fields.at(1), fields.at(2) };
}

std::optional<Item> ParseDeletedLine(const QString &line)
{
    const QStringList fields = line.split(QLatin1Char('\t'));
    if (fields.size() < 5 || fields.at(0).isEmpty() || fields.at(2).isEmpty())
        return std::nullopt;
    if (fields.at(1) != QLatin1String("file") && fields.at(1) != QLatin1String("folder"))
        return std::nullopt;
    return Item { fields.at(0), fields.at(1), fields.at(2), fields.at(3), fields.at(4) };
}

QString KindText(const QString &kind)
{
    return kind == QLatin1String("folder") ? QStringLiteral("フォルダ") : QStringLiteral("ファイル");
}

QString FormatExactSize(const QString &sizeText)
{
    bool isNumber = false;
    const qulonglong bytes = sizeText.toULongLong(&isNumber, 10);
    if (!isNumber)
        return sizeText;
    QString digits = QString::number(bytes);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits + QStringLiteral("ﾊﾞｲﾄ");
}

} // namespace history
