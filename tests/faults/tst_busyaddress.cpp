// Many checks at once from one address (an office behind one router, or guesses sent in
// parallel): at most ten are admitted while they run and in a window, right passwords leave
// nothing counted behind, and wrong guesses shut the address out.

#include "server/throttle.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class tst_BusyAddress : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        m_dir = std::make_unique<QTemporaryDir>();
    }
    void rightPasswordsAtOnceAdmitted();
    void parallelGuessesShutOut();

private:
    vidodu::Throttle throttle() const { return vidodu::Throttle(m_dir->filePath("throttle").toStdString()); }
    std::unique_ptr<QTemporaryDir> m_dir;
    const std::time_t m_now = 1'800'000'000;
    const std::string m_address = "192.0.2.10";
};

// Right passwords checked at once from one address: ten go through, an eleventh that does not
// wait for its turn is refused while they run, and nothing stays counted behind.
void tst_BusyAddress::rightPasswordsAtOnceAdmitted()
{
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < vidodu::kMaxFailures; ++i)
            QVERIFY(throttle().admit(m_address, m_now));
        QVERIFY(!throttle().admit(m_address, m_now));
        for (int i = 0; i < vidodu::kMaxFailures; ++i)
            throttle().settle(m_address, m_now, true);
    }
    QFile file(m_dir->filePath("throttle"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray());
}

// Wrong guesses sent in parallel count as failures from the start: the address is shut out,
// for the right password too, until the window is over; another address is not concerned.
void tst_BusyAddress::parallelGuessesShutOut()
{
    for (int i = 0; i < vidodu::kMaxFailures; ++i)
        QVERIFY(throttle().admit(m_address, m_now));
    QVERIFY(!throttle().admit(m_address, m_now));
    for (int i = 0; i < vidodu::kMaxFailures; ++i)
        throttle().settle(m_address, m_now, false);
    QVERIFY(!throttle().admit(m_address, m_now + vidodu::kFailureWindow - 1));
    QVERIFY(throttle().admit("192.0.2.11", m_now + 1));
    QVERIFY(throttle().admit(m_address, m_now + vidodu::kFailureWindow));
}

QTEST_GUILESS_MAIN(tst_BusyAddress)
#include "tst_busyaddress.moc"
