// The version dialog: its texts from the build's numbers, and its link.

#include "dialogs/version/frmVersion.h"
#include "dialogs/version/versiontext.h"
#include "platform/machine.h"
#include "support/fakeplatform.h"

#include <QLabel>
#include <QRegularExpression>
#include <QTest>

class tst_frmVersion : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void texts_data();
    void texts();
    void showsTheProjectVersion();
    void linkOpensTheUserGuide();
};

void tst_frmVersion::texts_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("build");
    QTest::newRow("revision 999") << 1 << 0 << 999 << "Ver1.00"
                                  << "";
    QTest::newRow("revision 1000") << 1 << 0 << 1000 << "Ver1.00a"
                                   << "";
    QTest::newRow("revision 1099") << 1 << 0 << 1099 << "Ver1.00a"
                                   << "";
    QTest::newRow("revision 1100") << 1 << 0 << 1100 << "Ver1.00a"
                                   << "build 1100";
    QTest::newRow("revision 2500") << 2 << 15 << 2500 << "Ver2.15b"
                                   << "build 2500";
    QTest::newRow("three-digit minor") << 10 << 123 << 26100 << "Ver10.123z"
                                       << "build 26100";
}

// The minor number with two digits, a letter per thousand revisions, a build from 100 up.
void tst_frmVersion::texts()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, version);
    QFETCH(QString, build);
    QCOMPARE(version::VersionText(major, minor, revision), version);
    QCOMPARE(version::BuildText(revision), build);
}

// The labels show the version numbers declared once in the build, over the fixed picture.
void tst_frmVersion::showsTheProjectVersion()
{
    frmVersion dialog;
    QCOMPARE(dialog.findChild<QLabel *>("labVersion")->text(),
        version::VersionText(PROJECT_MAJOR, PROJECT_MINOR, PROJECT_REVISION));
    QCOMPARE(dialog.findChild<QLabel *>("labBuild")->text(), version::BuildText(PROJECT_REVISION));
    QCOMPARE(dialog.size(), QSize(335, 200));
    const QImage picture(QStringLiteral(":/version/background.png"));
    QCOMPARE(dialog.grab().toImage().pixelColor(2, 2), picture.pixelColor(2, 2)); // drawn over the whole area
}

// A left click on the link opens the user guide beside the program; the dialog stays.
void tst_frmVersion::linkOpensTheUserGuide()
{
    testsupport::FakeShell shell;
    frmVersion dialog;
    QTest::ignoreMessage(QtWarningMsg, "This plugin does not support raise()");
    dialog.show();
    auto *link = dialog.findChild<QLabel *>("labWeblink");
    QTest::mouseClick(link, Qt::RightButton);
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(shell.opened, QList<QUrl> { QUrl::fromLocalFile(platform::AppPath() + "/Lumeno.chm") });
    QVERIFY(dialog.isVisible());
}

QTEST_MAIN(tst_frmVersion)
#include "tst_frmVersion.moc"
