// libFuzzer target: the reader of local shortcut files (app/shortcutfile.h).
// Input: the bytes of a .lmk file. Built and run by fuzz/run.sh.
//
// Any file, however damaged, is either ignored or names one remote file whose folder holds no
// TAB and no line break; writing that shortcut again and reading it back is stable.

#include "app/shortcutfile.h"

#include <cstddef>
#include <cstdint>

namespace {

void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

bool HasLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto item = app::ParseShortcut(QByteArrayView(data, static_cast<qsizetype>(size)));
    if (!item)
        return 0;
    Require(!item->Path.contains(QLatin1Char('\t')) && !HasLineBreak(item->Path) && !HasLineBreak(item->File));
    Require(item->Path.size() + item->File.size() < static_cast<qsizetype>(size));

    const auto again = app::ParseShortcut(app::ShortcutBytes(*item));
    Require(again.has_value());
    const auto third = app::ParseShortcut(app::ShortcutBytes(*again));
    Require(third.has_value() && *third == *again);
    return 0;
}
