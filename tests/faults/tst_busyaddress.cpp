// Many editors behind one address (an office behind one router, or the load run on loopback)
// save at once with the right password: none is refused for being busy, while wrong guesses
// from that address, in parallel or one after the other, are still shut out.

#include "server/throttle.h"

#include <QTemporaryDir>
#include <QTest>

class tst_BusyAddress : public QObject {
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void rightPasswordsAtOnceAdmitted();
    void parallelGuessesShutOut();
    void checksAtOnceAreBounded();

private:
    vidodu::Throttle throttle() const { return vidodu::Throttle(m_dir->filePath("throttle").toStdString()); }
    std::unique_ptr<QTemporaryDir> m_dir;
    const std::time_t m_now = 1'800'000'000;
    const std::string m_address = "192.0.2.10";
};

// Fifty right passwords checked at the same time from one address all go through, and leave
// nothing counted behind.
void tst_BusyAddress::rightPasswordsAtOnceAdmitted()
{
    for (int i = 0; i < 50; ++i)
        QVERIFY2(throttle().admit(m_address, m_now), qPrintable(QString::number(i)));
    for (int i = 0; i < 50; ++i)
        throttle().settle(m_address, m_now, true);
    QFile file(m_dir->filePath("throttle"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray());
}

// Wrong guesses sent in parallel count as failures while they run: once they have failed,
// the address is shut out, also for the right password, until the window is over.
void tst_BusyAddress::parallelGuessesShutOut()
{
    for (int i = 0; i < 30; ++i)
        QVERIFY(throttle().admit(m_address, m_now));
    for (int i = 0; i < 30; ++i)
        throttle().settle(m_address, m_now, false);
    QVERIFY(!throttle().admit(m_address, m_now + 1));
    QVERIFY(!throttle().admit(m_address, m_now + vidodu::kFailureWindow - 1));
    QVERIFY(throttle().admit(m_address, m_now + vidodu::kFailureWindow));
    // Another address is not concerned.
    QVERIFY(throttle().admit("192.0.2.11", m_now + 1));
}

// At most kMaxPendingChecks checks run at once for one address: the argon2 memory of a flood
// stays bounded, and no more guesses than that can be in flight before failures count.
void tst_BusyAddress::checksAtOnceAreBounded()
{
    for (int i = 0; i < vidodu::kMaxPendingChecks; ++i)
        QVERIFY(throttle().admit(m_address, m_now));
    QVERIFY(!throttle().admit(m_address, m_now));
    throttle().settle(m_address, m_now, true);
    QVERIFY(throttle().admit(m_address, m_now));
}

QTEST_GUILESS_MAIN(tst_BusyAddress)
#include "tst_busyaddress.moc"
