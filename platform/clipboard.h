#pragma once

#include <QString>

namespace platform {

// The system clipboard, plain text only.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual bool HasText() const = 0;
    virtual QString Text() const = 0;
    virtual void SetText(const QString &text) = 0;
    virtual void Clear() = 0;
};

// The clipboard services() names.
Clipboard &clipboard();

} // namespace platform
