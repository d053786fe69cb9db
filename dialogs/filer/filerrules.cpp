#include "dialogs/filer/filerrules.h"

#include <QtMath>

namespace filer {

QString FormatFileSize(const QString &sizeText)
{
    // Sizes are counted in 64 bits: a file of 2 GB or more is still a number, not an error.
    bool isNumber = false;
    const qlonglong bytes = sizeText.toLongLong(&isNumber, 10);
    if (!isNumber)
        return sizeText;
    if (bytes >= 1024)
        return QString::number(bytes / 1024) + QStringLiteral("KB");
    return sizeText + QStringLiteral("ﾊﾞｲﾄ");
}

std::optional<FileEntry> ParseFileLine(const QString &line)
{
    const QStringList fields = line.split(QLatin1Char('\t'));
    if (fields.size() < 3 || fields.at(0).isEmpty())
        return std::nullopt;
    return FileEntry { fields.at(0), fields.at(1), fields.at(2) };
}

QString ParentFolderPath(const QString &folderPath)
{
    const qsizetype slash = folderPath.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? folderPath : folderPath.left(slash);
}

QStringList AccumulatedPaths(const QString &folderPath)
{
    QStringList paths;
    QString accumulated;
    for (const QString &element : folderPath.split(QLatin1Char('/'))) {
        if (!accumulated.isEmpty())
            accumulated += QLatin1Char('/');
        accumulated += element;
        paths.append(accumulated);
    }
    return paths;
}

} // namespace filer
