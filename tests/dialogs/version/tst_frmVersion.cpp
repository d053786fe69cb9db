#include "dialogs/version/frmVersion.h"
#include "dialogs/version/versiontext.h"
#include "platform/machine.h"
#include "support/fakeplatform.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class TestFrmVersion : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void showsTheProjectVersion();
    void pictureFillsTheFixedClientArea();
    void linkOpensTheUserGuideAndStays();
    void closeEndsTheModalDialog();
};

// The labels show the version numbers declared once in the build.
void TestFrmVersion::showsTheProjectVersion()
{
    const version::VersionNumbers numbers = version::ProgramVersion();
    QCOMPARE(numbers.major, PROJECT_MAJOR);
    QCOMPARE(numbers.minor, PROJECT_MINOR);
    QCOMPARE(numbers.revision, PROJECT_REVISION);
    frmVersion dialog;
    QCOMPARE(dialog.findChild<QLabel *>("labVersion")->text(),
             version::VersionText(PROJECT_MAJOR, PROJECT_MINOR, PROJECT_REVISION));
    QCOMPARE(dialog.findChild<QLabel *>("labBuild")->text(), version::BuildText(PROJECT_REVISION));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
}

// The client area is 335 x 200, fixed, and the compiled-in picture is drawn over it.
void TestFrmVersion::pictureFillsTheFixedClientArea()
{
    frmVersion dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.size(), QSize(335, 200));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    const QImage picture(QStringLiteral(":/version/background.png"));
    QCOMPARE(picture.size(), QSize(335, 200));
    const QImage shown = dialog.grab().toImage();
    QCOMPARE(shown.pixelColor(2, 2), picture.pixelColor(2, 2));
    QCOMPARE(shown.pixelColor(330, 60), picture.pixelColor(330, 60));
}

// The link label opens the user guide beside the program through the shell; the dialog stays open.
void TestFrmVersion::linkOpensTheUserGuideAndStays()
{
    testsupport::FakeShell shell;
    frmVersion dialog;
    dialog.show();
    auto *link = dialog.findChild<QLabel *>("labWeblink");
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(shell.opened, QList<QUrl>{QUrl::fromLocalFile(platform::AppPath() + "/Lumeno.chm")});
    QVERIFY(dialog.isVisible());
    QTest::mouseClick(link, Qt::RightButton);
    QCOMPARE(shell.opened.size(), 1);
}

// Close is first in the tab order and ends the modal dialog.
void TestFrmVersion::closeEndsTheModalDialog()
{
    frmVersion dialog;
    auto *close = dialog.findChild<QPushButton *>("cmdClose");
    QWidget *firstStop = dialog.nextInFocusChain();
    while (!(firstStop->focusPolicy() & Qt::TabFocus))
        firstStop = firstStop->nextInFocusChain();
    QCOMPARE(firstStop, close);
    QTimer::singleShot(0, close, [close] { QTest::mouseClick(close, Qt::LeftButton); });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(TestFrmVersion)
#include "tst_frmVersion.moc"
