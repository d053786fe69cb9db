#pragma once

#include <QByteArray>
#include <QRandomGenerator>

namespace faults {

// The same garbage on every run: size bytes from a generator seeded with seed.
inline QByteArray RandomBytes(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &b : bytes)
        b = static_cast<char>(random.bounded(256));
    return bytes;
}

} // namespace faults
