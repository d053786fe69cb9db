#include "drops.h"

#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace app {

DroppedData ClassifyDrop(const QMimeData &data)
{
    DroppedData dropped;
    if (data.hasUrls()) {
        for (const QUrl &url : data.urls())
            if (url.isLocalFile())
                dropped.files.append(url.toLocalFile());
        if (!dropped.files.isEmpty()) {
            dropped.kind = DroppedData::Kind::Files;
            return dropped;
        }
    }
    if (data.hasText()) {
        dropped.kind = DroppedData::Kind::Text;
        dropped.text = data.text();
    }
    return dropped;
}

std::optional<textencoding::DecodedText> ReadLocalTextFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return textencoding::DecodeDocument(bytes);
}

DropTarget::DropTarget(QWidget *viewport, Handler handler)
    : QObject(viewport)
    , m_handler(std::move(handler))
{
    viewport->setAcceptDrops(true);
    viewport->installEventFilter(this);
}

bool DropTarget::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        if (ClassifyDrop(*drag->mimeData()).kind == DroppedData::Kind::None) {
            drag->ignore();
        } else {
            // A copy: the source keeps what it offered, also a selection dragged within the box.
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        }
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const DroppedData dropped = ClassifyDrop(*drop->mimeData());
        if (dropped.kind == DroppedData::Kind::None) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        const QPoint position = drop->position().toPoint();
        QMetaObject::invokeMethod(
            this, [this, dropped, position] { m_handler(dropped, position); }, Qt::QueuedConnection);
        return true;
    }
    default: return QObject::eventFilter(watched, event);
    }
}

} // namespace app
