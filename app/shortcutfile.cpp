#include "shortcutfile.h"

#include "platform/cp932.h"

#include <QFile>
#include <QSaveFile>

namespace app {

namespace {

const QString kExtension = QStringLiteral(".lmk");

} // namespace

bool HasShortcutExtension(const QString &path)
{
    return path.right(kExtension.size()).compare(kExtension, Qt::CaseInsensitive) == 0;
}

QString ShortcutFilePath(const QString &chosen)
{
    return HasShortcutExtension(chosen) ? chosen : chosen + kExtension;
}

QByteArray ShortcutBytes(const HistoryItem &target)
{
    return cp932::Encode(QString(target.Path + QLatin1Char('\t') + target.File + QLatin1String("\r\n")));
}

std::optional<HistoryItem> ParseShortcut(QByteArrayView bytes)
{
    // A line ends at CR or LF, whichever comes first.
    qsizetype end = 0;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
        ++end;
    const QString line = cp932::Decode(bytes.first(end));
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    if (tab < 0)
        return std::nullopt;
    return HistoryItem { line.left(tab), line.mid(tab + 1) };
}

std::optional<HistoryItem> ReadShortcut(const QString &path)
{
    if (!HasShortcutExtension(path))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(SHORTCUT_READ_LIMIT);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return ParseShortcut(bytes);
}

bool WriteShortcut(const QString &path, const HistoryItem &target)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = ShortcutBytes(target);
    return file.write(bytes) == bytes.size() && file.commit();
}

} // namespace app
