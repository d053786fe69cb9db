#include "platform/cp932.h"
#include "support/localserver.h"
#include "windowfixture.h"

#include <QAction>
#include <QDir>
#include <QInputMethodEvent>

using testsupport::ReadAll;
using testsupport::WriteFile;

// The real editor against the real vidodu.cgi under lighttpd; only the file browser's choice is
// made by the test.
class TestDocumentsEndToEnd : public testsupport::WindowTest {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        testsupport::usePrivateRuntimeDir();
        QVERIFY2(m_lighttpd.start(), qPrintable(m_lighttpd.errorText()));
        QVERIFY(QDir(m_lighttpd.dataDir()).mkpath(QStringLiteral("年度")));
    }
    void cleanupTestCase() { m_lighttpd.stop(); }
    void init()
    {
        start(false);
        m_server.reset(); // the requests go to the real server
    }
    void cleanup()
    {
        QVERIFY2(m_dialogs->messages.isEmpty(), qPrintable(m_dialogs->messageTexts().join(QLatin1Char('\n'))));
        finish();
    }

    // A document opened and saved unedited is stored exactly as it was, line breaks included.
    void unchangedDocumentComesBackByteForByte_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("CR LF") << cp932::Encode(u"一行目\r\n二行目 ｶﾅ\r\n\r\n");
        QTest::newRow("LF only") << QByteArray("first\nsecond\n\nfourth\n\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("only a break") << QByteArray("\r\n");
        QTest::newRow("no final break") << cp932::Encode(u"①②\r\nend");
        QTest::newRow("tabs and blanks") << cp932::Encode(u"\tﾃｷｽﾄ \r\n  indented\u3000\r\n");
    }
    void unchangedDocumentComesBackByteForByte()
    {
        QFETCH(QByteArray, bytes);
        const QString name = QStringLiteral("round %1.txt").arg(QTest::currentDataTag());
        QVERIFY(WriteFile(onDisk(name), bytes));
        launch();
        open(name);
        QCOMPARE(m_window->PanelText(QStringLiteral("filename")), name);
        // Something else stands there meanwhile: the save must write the document's own bytes.
        QVERIFY(WriteFile(onDisk(name), "overwritten"));
        m_window->SaveCurrentDocument();
        QCOMPARE(ReadAll(onDisk(name)), bytes);
        QVERIFY(!m_window->blnModified);
    }

    // Open, type, save; after a restart the recent list opens the file with what was typed.
    void editSaveAndReopenFromTheRecentList()
    {
        QVERIFY(WriteFile(onDisk(QStringLiteral("メモ.txt")), cp932::Encode(u"最初の行\r\n")));
        launch();
        open(QStringLiteral("メモ.txt"));
        m_window->txtMain->setFocus();
        m_window->txtMain->moveCursor(QTextCursor::End);
        QTest::keyClicks(m_window->txtMain, QStringLiteral("second line"));
        QTest::keyClick(m_window->txtMain, Qt::Key_Return);
        QInputMethodEvent typed;
        typed.setCommitString(QStringLiteral("三行目"));
        QCoreApplication::sendEvent(m_window->txtMain, &typed);
        m_window->menuSave->trigger();
        const QByteArray expected = cp932::Encode(u"最初の行\r\nsecond line\r\n三行目");
        QCOMPARE(ReadAll(onDisk(QStringLiteral("メモ.txt"))), expected);
        QVERIFY(!m_window->blnModified);

        QVERIFY(m_window->close());
        modPublic::strCurrentFolder.clear();
        modPublic::strCurrentFile.clear();
        launch();
        QCOMPARE(m_window->menuRecentFiles[0]->text(), QStringLiteral("メモ.txt"));
        m_window->menuRecentFiles[0]->trigger();
        QCOMPARE(m_window->DocumentText(), QStringLiteral("最初の行\r\nsecond line\r\n三行目"));
        QCOMPARE(m_window->PanelText(QStringLiteral("filename")), QStringLiteral("メモ.txt"));
        m_window->menuSave->trigger();
        QCOMPARE(ReadAll(onDisk(QStringLiteral("メモ.txt"))), expected);
    }

private:
    void launch()
    {
        restart();
        modPublic::strServer = m_lighttpd.serverText();
        modPublic::strPassword.clear();
    }
    void open(const QString &name)
    {
        m_window->choose(QStringLiteral("data/年度"), name);
        m_window->menuOpen->trigger();
    }
    QString onDisk(const QString &name) const { return m_lighttpd.dataDir() + QStringLiteral("/年度/") + name; }

    testsupport::LocalServer m_lighttpd;
};

QTEST_MAIN(TestDocumentsEndToEnd)
#include "tst_documents_e2e.moc"
