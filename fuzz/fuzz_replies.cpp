// libFuzzer target: the editor's reading of the script's replies (protocol/replies.h).
// Input: the sent folder or file path, a NUL, then the reply bytes, decoded from code page 932
// as the transfer control decodes them. Built and run by fuzz/run.sh.
//
// Whatever the reply, each rule gives one of its result forms, and a success can be traced
// back: the reply is exactly the sent path, an LF and what the caller received.

#include "platform/cp932.h"
#include "protocol/replies.h"

#include <QStringList>
#include <cstddef>
#include <cstdint>

namespace {

void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

const QString kNG = QStringLiteral("NG");

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView input(data, static_cast<qsizetype>(size));
    const qsizetype nul = input.indexOf('\0');
    if (nul < 0)
        return 0;
    const QString path = cp932::Decode(input.first(nul));
    const QString reply = cp932::Decode(input.sliced(nul + 1));

    Require(modPublic::CheckReplyResult(reply) == reply.startsWith(QLatin1String("OK")));

    const QString status = modPublic::StatusReplyResult(reply, path);
    Require(status == QLatin1String("OK") || status == kNG);
    if (status == QLatin1String("OK"))
        Require(reply.startsWith(path + QLatin1Char('\n')));

    const std::optional<QStringList> listing = modPublic::ListingReplyResult(reply, path);
    if (listing)
        Require(
            listing->isEmpty() ? reply == path : reply == path + QLatin1Char('\n') + listing->join(QLatin1Char('\n')));
    else
        Require(reply.section(QLatin1Char('\n'), 0, 0) != path);

    // READFILE takes the reply as bytes: the path line in code page 932, the content as it is.
    const QByteArray replyBytes = input.sliced(nul + 1).toByteArray();
    const std::optional<QByteArray> read = modPublic::ReadReplyResult(replyBytes, path);
    const qsizetype lineEnd = replyBytes.indexOf('\n');
    if (read)
        Require(lineEnd >= 0 && cp932::Decode(replyBytes.first(lineEnd)) == path
            && replyBytes.sliced(lineEnd + 1) == *read);
    else
        Require(lineEnd < 0 || cp932::Decode(replyBytes.first(lineEnd)) != path);
    return 0;
}
