// libFuzzer target: the password codec's Decode (codec/codec.h).
// Input: the key byte, the machine tag up to a NUL, then the stored text. Built and run by
// fuzz/run.sh.
//
// A stored text from anywhere (a damaged settings file, another computer) decodes to the empty
// text or to a password the settings dialog could have stored; what decodes encodes again to
// a text that decodes the same.

#include "codec/codec.h"

#include <cstddef>
#include <cstdint>

namespace {

void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

bool IsSymbols(const QString &text)
{
    for (const QChar c : text) {
        if (!modPublic::CODE_ALPHABET.contains(c))
            return false;
    }
    return true;
}

bool IsPassword(const QString &text)
{
    return !text.isEmpty() && text.size() <= 15 && IsSymbols(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const auto key = static_cast<std::uint8_t>(data[0] % 254 + 1);
    const QByteArrayView rest(data + 1, static_cast<qsizetype>(size - 1));
    const qsizetype nul = rest.indexOf('\0');
    if (nul < 0)
        return 0;
    const QString tag = QString::fromLatin1(rest.first(nul));
    const QString code = QString::fromLatin1(rest.sliced(nul + 1));

    const QString password = modPublic::Decode(code, tag);
    Require(password.isEmpty() || IsPassword(password));
    if (!password.isEmpty())
        Require(modPublic::Decode(modPublic::Encode(password, tag, key), tag) == password);

    // The input read as a password: a valid one survives the round trip, others store empty,
    // as does any password under a tag that is not a machine tag (those hold symbols only).
    const QString typed = code.left(15);
    const QString stored = modPublic::Encode(typed, tag, key);
    if (IsPassword(typed) && IsSymbols(tag))
        Require(modPublic::Decode(stored, tag) == typed);
    else
        Require(stored.isEmpty());
    return 0;
}
