#pragma once

// What the editing box accepts when something is dropped on it: a list of local files (the
// first one is opened) or plain text (it replaces the selection). Everything else is refused.

#include "codec/textencoding.h"

#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QMimeData;

namespace app {

struct DroppedData {
    enum class Kind { None, Files, Text };
    Kind kind = Kind::None;
    QStringList files; // local paths, in the order dropped
    QString text;
};

// Local files win over the text that file managers send with them; addresses that are not
// local files count as their text.
DroppedData ClassifyDrop(const QMimeData &data);

// A dropped local file, read whole and decoded as a document from the server is; std::nullopt
// when it cannot be read (a folder, no access, gone).
std::optional<textencoding::DecodedText> ReadLocalTextFile(const QString &path);

// Installed on the editing box's viewport: accepts the drags it can take and hands each drop to
// the handler, so that the box's own drop handling never runs. The handler runs once the drop
// has ended: it may ask questions and wait for the server while the source is already free.
class DropTarget : public QObject {
public:
    using Handler = std::function<void(const DroppedData &data, QPoint position)>;
    DropTarget(QWidget *viewport, Handler handler);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Handler m_handler;
};

} // namespace app
