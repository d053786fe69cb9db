#include "clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace platform {

namespace {

class SystemClipboard final : public Clipboard {
public:
    bool HasText() const override
    {
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        return data && data->hasText();
    }
    QString Text() const override { return QGuiApplication::clipboard()->text(); }
    void SetText(const QString &text) override { QGuiApplication::clipboard()->setText(text); }
    void Clear() override { QGuiApplication::clipboard()->clear(); }
};

Clipboard *g_clipboard = nullptr;

} // namespace

Clipboard &clipboard()
{
    if (g_clipboard)
        return *g_clipboard;
    static SystemClipboard system;
    return system;
}

void setClipboard(Clipboard *c)
{
    g_clipboard = c;
}

} // namespace platform
