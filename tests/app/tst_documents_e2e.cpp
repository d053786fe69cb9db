#include "app/frmMain.h"
#include "localfiles.h"
#include "platform/cp932.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"
#include "support/localserver.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

using testsupport::ReadAll;
using testsupport::WriteFile;

namespace {

// The real main window; only the file browser's choice is made by the test.
class EditorUnderTest : public frmMain {
public:
    QString folder;
    QString file;
    void ShowFiler() override
    {
        modPublic::strCurrentFolder = folder;
        modPublic::strCurrentFile = file;
        modPublic::blnFilerOK = true;
    }
};

} // namespace

class TestDocumentsEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void unchangedDocumentComesBackByteForByte_data();
    void unchangedDocumentComesBackByteForByte();
    void editSaveAndReopenFromTheRecentList();

private:
    EditorUnderTest *start();
    QString onDisk(const QString &relative) const { return m_server.dataDir() + QLatin1Char('/') + relative; }

    testsupport::LocalServer m_server;
    QTemporaryDir m_dataHome;
    QByteArray m_savedDataHome;
    std::unique_ptr<testsupport::TempSettings> m_settings;
    std::unique_ptr<testsupport::FakeDialogs> m_dialogs;
    std::unique_ptr<EditorUnderTest> m_window;
};

void TestDocumentsEndToEnd::initTestCase()
{
    testsupport::usePrivateRuntimeDir();
    // Start-up writes the file-type association: into a folder of the test's own.
    m_savedDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", m_dataHome.path().toLocal8Bit());
    QVERIFY2(m_server.start(), qPrintable(m_server.errorText()));
    QVERIFY(QDir(m_server.dataDir()).mkpath(QStringLiteral("年度")));
}

void TestDocumentsEndToEnd::cleanupTestCase()
{
    m_server.stop();
    if (m_savedDataHome.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", m_savedDataHome);
}

void TestDocumentsEndToEnd::init()
{
    m_settings = std::make_unique<testsupport::TempSettings>();
    m_dialogs = std::make_unique<testsupport::FakeDialogs>();
}

void TestDocumentsEndToEnd::cleanup()
{
    if (m_window)
        m_window->blnModified = false;
    m_window.reset();
    QVERIFY2(m_dialogs->unexpected.isEmpty(), qPrintable(m_dialogs->unexpected.join(QLatin1Char('\n'))));
    QVERIFY2(m_dialogs->messages.isEmpty(), qPrintable(m_dialogs->messageTexts().join(QLatin1Char('\n'))));
    m_dialogs.reset();
    m_settings.reset();
}

EditorUnderTest *TestDocumentsEndToEnd::start()
{
    m_window = std::make_unique<EditorUnderTest>();
    m_window->SetCommandLine(QString());
    m_window->Form_Load();
    modPublic::strServer = m_server.serverText();
    modPublic::strPassword.clear();
    return m_window.get();
}

// A document opened from the server and saved unedited is stored exactly as it was.
void TestDocumentsEndToEnd::unchangedDocumentComesBackByteForByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("CR LF") << cp932::Encode(u"一行目\r\n二行目 ｶﾅ\r\n\r\n");
    QTest::newRow("LF only") << QByteArray("first\nsecond\n\n");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("no final break") << cp932::Encode(u"①②\r\nend");
}

void TestDocumentsEndToEnd::unchangedDocumentComesBackByteForByte()
{
    QFETCH(QByteArray, bytes);
    const QString name = QStringLiteral("round %1.txt").arg(QTest::currentDataTag());
    QVERIFY(WriteFile(onDisk(QStringLiteral("年度/") + name), bytes));
    EditorUnderTest *window = start();
    window->folder = QStringLiteral("data/年度");
    window->file = name;
    window->OpenDocument();
    QCOMPARE(window->PanelText(QStringLiteral("filename")), name);
    // Something else stands there meanwhile: the save must write the document's own bytes.
    QVERIFY(WriteFile(onDisk(QStringLiteral("年度/") + name), "overwritten"));
    window->SaveCurrentDocument();
    QCOMPARE(ReadAll(onDisk(QStringLiteral("年度/") + name)), bytes);
    QVERIFY(!window->blnModified);
}

// Open, edit, save; after a restart the recent list opens the file with what was typed.
void TestDocumentsEndToEnd::editSaveAndReopenFromTheRecentList()
{
    const QString path = onDisk(QStringLiteral("年度/メモ.txt"));
    QVERIFY(WriteFile(path, cp932::Encode(u"最初の行\r\n")));
    EditorUnderTest *window = start();
    window->folder = QStringLiteral("data/年度");
    window->file = QStringLiteral("メモ.txt");
    window->menuOpen->trigger();
    QCOMPARE(window->DocumentText(), QStringLiteral("最初の行\r\n"));

    window->txtMain->setFocus();
    window->txtMain->moveCursor(QTextCursor::End);
    QTest::keyClicks(window->txtMain, QStringLiteral("second line"));
    QTest::keyClick(window->txtMain, Qt::Key_Return);
    QInputMethodEvent typed;
    typed.setCommitString(QStringLiteral("三行目"));
    QCoreApplication::sendEvent(window->txtMain, &typed);
    QVERIFY(window->blnModified);
    window->menuSave->trigger();
    const QByteArray expected = cp932::Encode(u"最初の行\r\nsecond line\r\n三行目");
    QCOMPARE(ReadAll(path), expected);
    QVERIFY(!window->blnModified);

    QVERIFY(window->close());
    m_window.reset();
    modPublic::strCurrentFolder.clear();
    modPublic::strCurrentFile.clear();
    window = start();
    QCOMPARE(window->menuRecentFiles[0]->text(), QStringLiteral("メモ.txt"));
    QVERIFY(window->menuRecentFiles[0]->isEnabled());
    window->menuRecentFiles[0]->trigger();
    QCOMPARE(window->DocumentText(), QStringLiteral("最初の行\r\nsecond line\r\n三行目"));
    QCOMPARE(window->PanelText(QStringLiteral("filename")), QStringLiteral("メモ.txt"));
    QVERIFY(!window->blnModified);
    window->menuSave->trigger();
    QCOMPARE(ReadAll(path), expected);
}

QTEST_MAIN(TestDocumentsEndToEnd)
#include "tst_documents_e2e.moc"
