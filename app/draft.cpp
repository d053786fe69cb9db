#include "draft.h"

#include <QList>

namespace app {

namespace {

const QByteArray kFirstLine = QByteArrayLiteral("Lumeno draft 1");

// One line of the header: a line break in a value (a hand-edited setting) would end it.
QByteArray HeaderLine(const char *key, QString value)
{
    value.replace(u'\r', u' ').replace(u'\n', u' ');
    return QByteArray(key) + ": " + value.toUtf8() + '\n';
}

} // namespace

QByteArray EncodeDraft(const Draft &draft)
{
    QByteArray bytes = kFirstLine + '\n';
    bytes += HeaderLine("Server", draft.server);
    bytes += HeaderLine("Folder", draft.folder);
    bytes += HeaderLine("File", draft.file);
    bytes += HeaderLine("Version", draft.version);
    bytes += HeaderLine("Line-Breaks", draft.lineBreaks == LineBreakStyle::Lf ? "LF" : "CRLF");
    bytes += HeaderLine("Encoding", textencoding::EncodingName(draft.encoding));
    const QDateTime changed = draft.changed.toLocalTime(); // with its offset, as a person reads it
    bytes += HeaderLine("Changed", changed.toOffsetFromUtc(changed.offsetFromUtc()).toString(Qt::ISODate));
    bytes += '\n';
    return bytes + draft.text.toUtf8();
}

std::optional<Draft> DecodeDraft(const QByteArray &bytes)
{
    const qsizetype end = bytes.indexOf("\n\n");
    if (!bytes.startsWith(kFirstLine + '\n') || end < 0)
        return std::nullopt;
    Draft draft;
    draft.text = QString::fromUtf8(bytes.mid(end + 2));
    const QList<QByteArray> lines = bytes.left(end).split('\n');
    for (const QByteArray &line : lines.mid(1)) {
        const QByteArray key = line.left(line.indexOf(':'));
        const QString value = QString::fromUtf8(line.mid(key.size() + 2));
        if (key == "Server")
            draft.server = value;
        else if (key == "Folder")
            draft.folder = value;
        else if (key == "File")
            draft.file = value;
        else if (key == "Version")
            draft.version = value;
        else if (key == "Line-Breaks")
            draft.lineBreaks = value == QLatin1String("LF") ? LineBreakStyle::Lf : LineBreakStyle::CrLf;
        else if (key == "Encoding")
            draft.encoding = textencoding::EncodingNamed(value); // an older draft has none: Shift-JIS
        else if (key == "Changed")
            draft.changed = QDateTime::fromString(value, Qt::ISODate);
    }
    return draft;
}

bool BelongsToServer(const Draft &draft, const QString &server)
{
    return draft.server == server;
}

QString RestoreQuestion(const Draft &draft, const QString &server)
{
    const QString name = draft.file.isEmpty() ? QStringLiteral("(No File)") : draft.folder + u'/' + draft.file;
    QString question = QStringLiteral("前回保存されなかった文書があります。\r\n\r\n"
                                      "文書: %1\r\n最終更新: %2\r\n")
                           .arg(name, draft.changed.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")));
    if (!draft.file.isEmpty() && !BelongsToServer(draft, server))
        question
            += QStringLiteral("この文書は別のサーバ（%1）のものです。ファイル名のない新しい文書として復元します。\r\n")
                   .arg(draft.server);
    return question + QStringLiteral("\r\n復元しますか？");
}

} // namespace app
