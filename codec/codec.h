#pragma once

#include <QString>
#include <cstdint>

// The password codec: the printable, computer-bound form of the password kept in the store.
namespace modPublic {

inline const QString CODE_ALPHABET = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-");

// The stored form of the password, keyed with a fresh random byte and bound to this computer's
// tag. Empty for an empty password, and for one that is not 1 to 15 alphabet symbols.
QString Encode(const QString &password);
// The password of a stored form made on this computer; the empty text for anything else.
QString Decode(const QString &code);
// The computer's name with every character outside CODE_ALPHABET removed; empty when the
// name cannot be read.
QString GetMachineTag();

// The same for a given tag and key byte (1 to 254); Encode and Decode above use these.
QString Encode(const QString &password, const QString &tag, std::uint8_t bytKey);
QString Decode(const QString &code, const QString &tag);

} // namespace modPublic
