#pragma once

#include <QString>

// The password codec: the printable, computer-bound form of the password kept in the store.
namespace modPublic {

inline const QString CODE_ALPHABET =
    QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-");

QString Encode(const QString &password);
QString Decode(const QString &code);
QString GetMachineTag();

} // namespace modPublic
