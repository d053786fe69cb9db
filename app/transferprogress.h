#pragma once

// How far a transfer is, as the status bar shows it beside the request's note.

#include <QString>
#include <QtGlobal>

namespace app {

// A request shows the busy indicator once it has run this long.
inline constexpr int kBusyIndicatorDelayMs = 150;

// The kilobytes moved so far (rounded up), and of the size the server announced (or of what is
// being sent) with the whole percent reached: "1,234 / 7,300 KB (16%)". Without a size, the
// kilobytes alone: "1,234 KB".
QString TransferProgressText(qint64 done, qint64 total);

} // namespace app
