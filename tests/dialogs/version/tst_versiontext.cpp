#include "dialogs/version/versiontext.h"
#include "support/fakeplatform.h"

#include <QTest>

class TestVersionText : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void texts_data();
    void texts();
};

void TestVersionText::texts_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("build");

    QTest::newRow("1.0 revision 0") << 1 << 0 << 0 << "Ver1.00" << "";
    QTest::newRow("revision 999") << 1 << 0 << 999 << "Ver1.00" << "";
    QTest::newRow("revision 1000") << 1 << 0 << 1000 << "Ver1.00a" << "";
    QTest::newRow("revision 1099") << 1 << 0 << 1099 << "Ver1.00a" << "";
    QTest::newRow("revision 1100") << 1 << 0 << 1100 << "Ver1.00a" << "build 1100";
    QTest::newRow("revision 2500") << 1 << 0 << 2500 << "Ver1.00b" << "build 2500";
    QTest::newRow("two-digit minor") << 2 << 15 << 0 << "Ver2.15" << "";
    QTest::newRow("minor below 10") << 3 << 7 << 1999 << "Ver3.07a" << "build 1999";
    QTest::newRow("three-digit minor") << 10 << 123 << 26100 << "Ver10.123z" << "build 26100";
}

// Version and build texts: minor with two digits, a letter per thousand revisions, a build from 100 up.
void TestVersionText::texts()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, version);
    QFETCH(QString, build);
    QCOMPARE(version::VersionText(major, minor, revision), version);
    QCOMPARE(version::BuildText(revision), build);
}

QTEST_GUILESS_MAIN(TestVersionText)
#include "tst_versiontext.moc"
