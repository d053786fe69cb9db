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
    void texts();
    void dialog();
};

// The minor number with two digits, a letter per thousand revisions, a build from 100 up.
void tst_frmVersion::texts()
{
    struct {
        int major, minor, revision;
        const char *texts;
    } const rows[] = { { 1, 0, 999, "Ver1.00 " }, { 1, 0, 1000, "Ver1.00a " }, { 1, 0, 1099, "Ver1.00a " },
        { 1, 0, 1100, "Ver1.00a build 1100" }, { 2, 15, 2500, "Ver2.15b build 2500" },
        { 10, 123, 26100, "Ver10.123z build 26100" } };
    for (const auto &r : rows)
        QCOMPARE(version::VersionText(r.major, r.minor, r.revision) + ' ' + version::BuildText(r.revision), r.texts);
    QCOMPARE(version::CurrentVersionText({ 1, 2, 34 }), "1.02.0034");
}

// The labels show the version numbers declared once in the build over the fixed picture; a left
// click on the link opens the user guide beside the program, and the dialog stays.
void tst_frmVersion::dialog()
{
    testsupport::FakeShell shell;
    frmVersion dialog;
    QCOMPARE(dialog.findChild<QLabel *>("labVersion")->text() + dialog.findChild<QLabel *>("labBuild")->text(),
        version::VersionText(PROJECT_MAJOR, PROJECT_MINOR, PROJECT_REVISION) + version::BuildText(PROJECT_REVISION));
    QCOMPARE(dialog.size(), QSize(335, 200));
    const QImage picture(QStringLiteral(":/version/background.png"));
    QCOMPARE(dialog.grab().toImage().pixelColor(2, 2), picture.pixelColor(2, 2)); // drawn over the whole area
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
