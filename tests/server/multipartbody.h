#pragma once

// Request bodies framed byte for byte as the editor frames them: part headers without
// blanks, an unquoted boundary holding "=", nothing after the closing delimiter.

#include <QByteArray>
#include <QList>

namespace servertest {

using Field = std::pair<QByteArray, QByteArray>;

inline const QByteArray kBoundary = "===261205074201===Ab3dE5fG7hJ9kL1--------------------";
inline const QByteArray kEditorContentType = "multipart/form-data; boundary=" + kBoundary;

inline QByteArray EditorBody(const QList<Field> &fields)
{
    QByteArray body;
    for (const auto &[name, value] : fields)
        body += "--" + kBoundary + "\r\nContent-Disposition:form-data;name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
    return body + "--" + kBoundary + "--";
}

} // namespace servertest
