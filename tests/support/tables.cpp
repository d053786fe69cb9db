#include "tables.h"

#include <QFile>
#include <QTest>
#include <list>

namespace testsupport {
namespace {

QString Unescaped(const QString &cell)
{
    QString out;
    for (qsizetype i = 0; i < cell.size(); ++i) {
        if (cell[i] != u'\\' || i + 1 == cell.size()) {
            out += cell[i];
        } else if (const QChar e = cell[++i]; e == u'x') {
            out += QChar(cell.mid(i + 1, 2).toUShort(nullptr, 16));
            i += 2;
        } else {
            out += e == u'n' ? u'\n' : e == u'r' ? u'\r' : e == u't' ? u'\t' : e;
        }
    }
    return out;
}

// Cells are trimmed before their escapes are read: "\x20" keeps a space.
QStringList SplitRow(const QString &line)
{
    QStringList cells { QString() };
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == u'|')
            cells.append(QString());
        else if (line[i] == u'\\' && i + 1 < line.size())
            cells.last() += line.mid(i++, 2);
        else
            cells.last() += line[i];
    }
    for (QString &cell : cells)
        cell = Unescaped(cell.trimmed());
    return cells;
}

QList<QStringList> ReadTable(const QString &name)
{
    QFile file(QStringLiteral(LUMENO_TEST_DATA "/") + name);
    if (!file.open(QIODevice::ReadOnly)) {
        QTest::qFail(qPrintable(QStringLiteral("no table ") + file.fileName()), __FILE__, __LINE__);
        return {};
    }
    QList<QStringList> rows;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n'))
        if (!line.trimmed().isEmpty() && !line.startsWith(u'#'))
            rows.append(name.endsWith(QLatin1String(".tsv")) ? line.split(u'\t') : SplitRow(line));
    return rows;
}

} // namespace

void AddTableRows(const QString &name, const QStringList &columns)
{
    QList<QStringList> rows = ReadTable(name);
    if (!columns.isEmpty()) { // no header line, no names: the line's number and its first cells
        for (qsizetype i = 0; i < rows.size(); ++i)
            rows[i].prepend(QString::number(i + 1) + u' ' + rows[i].mid(0, 2).join(u' '));
        rows.prepend(QStringList { QString() } + columns);
    }
    static std::list<QByteArray> names; // QTest keeps the column names' pointers
    for (const QString &column : rows.value(0).mid(1))
        QTest::addColumn<QString>(names.emplace_back(column.toLatin1()).constData());
    for (const QStringList &row : rows.mid(1)) {
        QTestData &data = QTest::newRow(qPrintable(row[0]));
        for (qsizetype i = 1; i < rows[0].size(); ++i)
            data << row.value(i);
    }
}

} // namespace testsupport
