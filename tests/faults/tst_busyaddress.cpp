// Many checks at once from one address (an office behind one router, or guesses sent in
// parallel): never more than ten are checked in a window, and right passwords leave nothing
// counted behind.

#include "server/throttle.h"

#include <QTemporaryDir>
#include <QTest>

class tst_BusyAddress : public QObject {
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void rightPasswordsAtOnceAdmitted();
    void parallelGuessesShutOut();

private:
    vidodu::Throttle throttle() const { return vidodu::Throttle(m_dir->filePath("throttle").toStdString()); }
    std::unique_ptr<QTemporaryDir> m_dir;
    const std::time_t m_now = 1'800'000'000;
    const std::string m_address = "192.0.2.10";
};

// Ten checks at the same time from one address go through, an eleventh is refused while they
// run, and right passwords leave nothing counted behind.
void tst_BusyAddress::rightPasswordsAtOnceAdmitted()
{
    for (int i = 0; i < vidodu::kMaxFailures; ++i)
        QVERIFY2(throttle().admit(m_address, m_now), qPrintable(QString::number(i)));
    QVERIFY(!throttle().admit(m_address, m_now));
    for (int i = 0; i < vidodu::kMaxFailures; ++i)
        throttle().settle(m_address, m_now, true);
    QFile file(m_dir->filePath("throttle"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray());
}

// Wrong guesses sent in parallel count as failures while they run: once they have failed,
// the address is shut out, also for the right password, until the window is over.
void tst_BusyAddress::parallelGuessesShutOut()
{
    for (int i = 0; i < vidodu::kMaxFailures; ++i)
        QVERIFY(throttle().admit(m_address, m_now));
    for (int i = 0; i < vidodu::kMaxFailures; ++i)
        throttle().settle(m_address, m_now, false);
    QVERIFY(!throttle().admit(m_address, m_now + 1));
    QVERIFY(!throttle().admit(m_address, m_now + vidodu::kFailureWindow - 1));
    QVERIFY(throttle().admit(m_address, m_now + vidodu::kFailureWindow));
    // Another address is not concerned.
    QVERIFY(throttle().admit("192.0.2.11", m_now + 1));
}

QTEST_GUILESS_MAIN(tst_BusyAddress)
#include "tst_busyaddress.moc"
