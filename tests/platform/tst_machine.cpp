#include "platform/machine.h"
#include "platform/random.h"
#include "support/fakeplatform.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <QTest>

class tst_Machine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void computerName();
    void randomDraws();
};

// The computer's name is the host's, unless a test pretends to be another computer.
void tst_Machine::computerName()
{
    platform::setComputerNameOverride(QStringLiteral("other.example"));
    QCOMPARE(platform::ComputerName(), QStringLiteral("other.example"));
    platform::setComputerNameOverride(std::nullopt);
    QCOMPARE(platform::ComputerName(), QSysInfo::machineHostName());
    QCOMPARE(platform::AppPath(), QCoreApplication::applicationDirPath());
}

// Draws lie in [0, 1); a fixed seed repeats them, the clock does not.
void tst_Machine::randomDraws()
{
    platform::Randomize(7);
    QList<double> first;
    for (int i = 0; i < 10000; ++i) {
        first.append(platform::Rnd());
        QVERIFY(first.last() >= 0.0 && first.last() < 1.0);
    }
    platform::Randomize(7);
    for (const double r : first)
        QCOMPARE(platform::Rnd(), r);
    platform::Randomize();
    QVERIFY(platform::Rnd() != first[0] || platform::Rnd() != first[1]);
}

QTEST_GUILESS_MAIN(tst_Machine)
#include "tst_machine.moc"
