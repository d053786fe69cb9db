#pragma once

#include <QStringList>

namespace testsupport {

// Tables of test cases kept as text in tests/data. One row a line, its cells split at "|" and
// trimmed; the first line names the columns; blank lines and lines that start with "#" are
// comments. In a cell \n, \r, \t, \|, \\ stand for themselves escaped, and \xHH for the one
// character U+00HH (a byte, for columns of bytes: QString::toLatin1 gives it back).
// A file ending in .tsv is made elsewhere: its cells are split at TAB and taken as they are.
//
// In a _data function: a QString column for each header after the first, a row for each line,
// named by its first cell. For a .tsv, give the columns: it has no header line.
void AddTableRows(const QString &name, const QStringList &columns = {});

} // namespace testsupport
