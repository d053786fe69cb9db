// The document's life cycle, without a window: the seams write what they are asked into a log.

#include "app/document.h"
#include "app/shortcutfile.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"

#include <QTest>

using platform::MsgAnswer;

class tst_Document : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init();
    void cleanup() { m_dialogs.reset(); }
    void lifeCycle_data();
    void lifeCycle();
    void shortcutOpensOnceAtATime();
    void createShortcut();

private:
    // The prompts by their first words, as the log shows them.
    static QString Short(const QString &text)
    {
        const std::pair<const char *, const char *> keys[] = { { "変更された", "save?" }, { "この文書には", "sjis?" },
            { "ファイルの取得", "read failed" }, { "ファイルの保存", "save failed" }, { "複数", "first only" },
            { "ファイルを開いて", "no file" }, { "ローカル", "shortcut failed" } };
        for (const auto &[start, key] : keys)
            if (text.startsWith(QString::fromUtf8(start)))
                return QLatin1String(key);
        return text;
    }
    QString Log() const
    {
        QStringList log = m_log;
        for (int i = 0, asked = 0; i < log.size(); ++i)
            if (log[i] == QLatin1String("?"))
                log[i] = Short(m_dialogs->messages.value(asked++).request.text);
        return log.join(QLatin1Char(' '));
    }
    // "data/a.txt *" (a star when modified), then the recent files, most recent last.
    QString State() const
    {
        QStringList state = { modPublic::strCurrentFolder + u'/' + modPublic::strCurrentFile
            + (m_document->blnModified ? QStringLiteral(" *") : QString()) };
        for (int i = 0; i < app::HistoryLength(m_document->arrHistory); ++i)
            state.append(m_document->arrHistory[i].File);
        return state.join(QLatin1String(" | "));
    }

    QTemporaryDir m_dir;
    QStringList m_log;
    QString m_text;
    QString m_filerChoice; // "data/c.txt", or empty for Cancel
    bool m_failing = false;
    std::unique_ptr<testsupport::FakeDialogs> m_dialogs;
    std::unique_ptr<app::Document> m_document;
};

void tst_Document::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    m_log.clear();
    m_dialogs = std::make_unique<testsupport::FakeDialogs>();
    m_dialogs->onQuestion = [this] { m_log.append(QStringLiteral("?")); };
    const auto read = [this](const QString &folder, const QString &file) {
        m_log.append(QStringLiteral("read ") + file);
        return m_failing || folder != QLatin1String("data") ? modPublic::kNG : file.toUpper();
    };
    const auto save = [this](const QString &, const QString &file, const QString &) {
        m_log.append(QStringLiteral("save ") + file);
        return m_failing ? modPublic::kNG : QStringLiteral("OK");
    };
    m_document = std::make_unique<app::Document>(nullptr,
        app::DocumentSeams {
            .text = [this] { return m_text; },
            .setText = [this](const QString &text) { m_log.append(QStringLiteral("text=") + text); m_text = text; },
            .showFileName = [this](const QString &name) { m_log.append(QStringLiteral("name=") + name); },
            .historyChanged = [this] { m_log.append(QStringLiteral("history")); },
            .lockWindow = [this](bool locked) { m_log.append(locked ? QStringLiteral("lock") : QStringLiteral("unlock")); },
            .showProgress = [this](const QString &note) { m_log.append(note.isEmpty() ? QStringLiteral("idle") : QStringLiteral("busy")); },
            .showFiler =
                [this] {
                    m_log.append(QStringLiteral("filer%1").arg(modPublic::lngFilerMode));
                    modPublic::blnFilerOK = !m_filerChoice.isEmpty();
                    if (modPublic::blnFilerOK) {
                        modPublic::strCurrentFolder = m_filerChoice.section(u'/', 0, 0);
                        modPublic::strCurrentFile = m_filerChoice.section(u'/', 1);
                    }
                },
            .readFile = read,
            .saveFile = save,
        });
}

void tst_Document::lifeCycle_data()
{
    QTest::addColumn<QString>("start"); // the current file, "" untitled; a star: modified
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("answers"); // the prompts' answers: Yes, No, Cancel, OK
    QTest::addColumn<QString>("filer"); // the browser's choice, "" Cancel
    QTest::addColumn<bool>("failing"); // the server answers NG
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("state");
    const QString sjis = QStringLiteral("ǅ"); // no code in code page 932
    const QString lmk = m_dir.filePath(QStringLiteral("b.lmk"));
    QVERIFY(app::WriteShortcut(lmk, { QStringLiteral("data"), QStringLiteral("b.txt") }));
    const QString txt = m_dir.filePath(QStringLiteral("local.txt"));
    QFile file(txt);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("\x82\xa0") == 2);
    file.close();
    const QString empty = m_dir.filePath(QStringLiteral("empty.txt"));
    QVERIFY(QFile(empty).open(QIODevice::WriteOnly));

    // clang-format off
    QTest::newRow("new, unmodified") << "data/a.txt" << "A" << "new" << "" << "" << false << "text= name=(No File)" << "/ | x.txt | a.txt";
    QTest::newRow("new, Cancel keeps all") << "data/a.txt*" << "A" << "new" << "C" << "" << false << "save?" << "data/a.txt * | x.txt | a.txt";
    QTest::newRow("new, No drops the text") << "data/a.txt*" << "A" << "new" << "N" << "" << false << "save? text= name=(No File)" << "/ | x.txt | a.txt";
    QTest::newRow("new, Yes saves first") << "data/a.txt*" << "A" << "new" << "Y" << "" << false << "save? lock busy save a.txt idle unlock text= name=(No File)" << "/ | x.txt | a.txt";
    QTest::newRow("new, Yes, save fails") << "data/a.txt*" << "A" << "new" << "YO" << "" << true << "save? lock busy save a.txt idle save failed unlock" << "data/a.txt * | x.txt | a.txt";
    QTest::newRow("new, Yes, untitled, browser cancelled") << "*" << "A" << "new" << "Y" << "" << false << "save? lock filer1 unlock" << "/ * | x.txt | a.txt";
    QTest::newRow("open") << "data/a.txt" << "A" << "open" << "" << "data/b.txt" << false << "lock filer0 busy read b.txt idle text=B.TXT name=b.txt history unlock" << "data/b.txt | x.txt | a.txt | b.txt";
    QTest::newRow("open, browser cancelled") << "data/a.txt" << "A" << "open" << "" << "" << false << "lock filer0 unlock" << "data/a.txt | x.txt | a.txt";
    QTest::newRow("open, read fails: name back") << "data/a.txt" << "A" << "open" << "O" << "data/b.txt" << true << "lock filer0 busy read b.txt idle read failed unlock" << "data/a.txt | x.txt | a.txt";
    QTest::newRow("open, Cancel") << "data/a.txt*" << "A" << "open" << "C" << "" << false << "save?" << "data/a.txt * | x.txt | a.txt";
    QTest::newRow("save") << "data/a.txt*" << "A" << "save" << "" << "" << false << "lock busy save a.txt idle unlock" << "data/a.txt | x.txt | a.txt";
    QTest::newRow("save fails") << "data/a.txt*" << "A" << "save" << "O" << "" << true << "lock busy save a.txt idle save failed unlock" << "data/a.txt * | x.txt | a.txt";
    QTest::newRow("save untitled asks a name") << "*" << "A" << "save" << "" << "data/c.txt" << false << "lock filer1 busy save c.txt idle name=c.txt unlock" << "data/c.txt | x.txt | a.txt";
    QTest::newRow("save as, fails: chosen name stays") << "data/a.txt*" << "A" << "saveAs" << "O" << "data/c.txt" << true << "lock filer1 busy save c.txt idle save failed unlock" << "data/c.txt * | x.txt | a.txt";
    QTest::newRow("save, no Shift-JIS: No") << "data/a.txt*" << sjis << "save" << "N" << "" << false << "sjis?" << "data/a.txt * | x.txt | a.txt";
    QTest::newRow("save as, no Shift-JIS: Yes") << "data/a.txt*" << sjis << "saveAs" << "Y" << "data/c.txt" << false << "sjis? lock filer1 busy save c.txt idle name=c.txt unlock" << "data/c.txt | x.txt | a.txt";
    QTest::newRow("recent moves to the end") << "data/a.txt" << "A" << "recent 0" << "" << "" << false << "lock busy read x.txt idle text=X.TXT name=x.txt history unlock" << "data/x.txt | a.txt | x.txt";
    QTest::newRow("recent past the list") << "data/a.txt" << "A" << "recent 2" << "" << "" << false << "" << "data/a.txt | x.txt | a.txt";
    QTest::newRow("shortcut") << "" << "A" << "shortcut " + lmk << "" << "" << false << "lock busy read b.txt idle text=B.TXT name=b.txt history unlock" << "data/b.txt | x.txt | a.txt | b.txt";
    QTest::newRow("shortcut, no such file") << "" << "A" << "shortcut " + txt << "" << "" << false << "" << "/ | x.txt | a.txt";
    QTest::newRow("drop a text file") << "data/a.txt" << "A" << "drop " + txt << "" << "" << false << "text=あ name=(No File)" << "/ | x.txt | a.txt";
    QTest::newRow("drop two: first only") << "data/a.txt*" << "A" << "drop " + lmk + " " + txt << "NO" << "" << false << "save? first only lock busy read b.txt idle text=B.TXT name=b.txt history unlock" << "data/b.txt | x.txt | a.txt | b.txt";
    QTest::newRow("drop an empty file") << "data/a.txt" << "A" << "drop " + empty << "" << "" << false << "" << "data/a.txt | x.txt | a.txt";
    QTest::newRow("drop, Cancel") << "data/a.txt*" << "A" << "drop " + txt << "C" << "" << false << "save?" << "data/a.txt * | x.txt | a.txt";
    // clang-format on
}

// Each command asks what it must, in order, reaches the server and the browser only with the
// window locked and the busy note up, and leaves the document, its name and the recent files
// as the user expects; text that did not reach the server is never dropped.
void tst_Document::lifeCycle()
{
    QFETCH(QString, start);
    QFETCH(QString, text);
    QFETCH(QString, command);
    QFETCH(QString, answers);
    QFETCH(QString, filer);
    QFETCH(bool, failing);
    m_document->blnModified = start.endsWith(u'*');
    start.remove(u'*');
    modPublic::strCurrentFolder = start.section(u'/', 0, 0);
    modPublic::strCurrentFile = start.section(u'/', 1);
    m_document->arrHistory = { app::HistoryItem { "data", "x.txt" }, app::HistoryItem { "data", "a.txt" } };
    m_text = text;
    m_filerChoice = filer;
    m_failing = failing;
    for (const QChar answer : answers)
        m_dialogs->answerMessage(answer == u'Y' ? MsgAnswer::Yes
                : answer == u'N'                ? MsgAnswer::No
                : answer == u'C'                ? MsgAnswer::Cancel
                                                : MsgAnswer::OK);
    const QString argument = command.section(u' ', 1);
    if (command == QLatin1String("new"))
        m_document->NewDocument();
    else if (command == QLatin1String("open"))
        m_document->OpenDocument();
    else if (command == QLatin1String("save"))
        m_document->SaveCurrentDocument();
    else if (command == QLatin1String("saveAs"))
        m_document->SaveDocumentAs();
    else if (command.startsWith(QLatin1String("recent")))
        m_document->OpenRecentFile(argument.toInt());
    else if (command.startsWith(QLatin1String("shortcut")))
        m_document->OpenShortcut(argument);
    else
        m_document->OpenDroppedFiles(argument.split(u' '));
    QTEST(Log(), "log");
    QTEST(State(), "state");
    // The save prompt stops on Cancel when Enter is pressed; replacing characters on No.
    for (const testsupport::AskedMessage &asked : m_dialogs->messages)
        if (asked.request.buttons != platform::MsgButtons::OK)
            QCOMPARE(asked.request.defaultButton,
                Short(asked.request.text) == QLatin1String("save?") ? MsgAnswer::Cancel : MsgAnswer::No);
}

// A shortcut opened while one is being opened (the failure message hands the activation back
// to the window) is left alone.
void tst_Document::shortcutOpensOnceAtATime()
{
    const QString lmk = m_dir.filePath(QStringLiteral("again.lmk"));
    QVERIFY(app::WriteShortcut(lmk, { QStringLiteral("data"), QStringLiteral("b.txt") }));
    auto read = m_document->seams.readFile;
    m_document->seams.readFile = [&](const QString &folder, const QString &file) {
        m_document->OpenShortcut(lmk);
        return read(folder, file);
    };
    m_document->OpenShortcut(lmk);
    QCOMPARE(m_log.count(QStringLiteral("read b.txt")), 1);
    m_document->seams.readFile = read;
    m_document->OpenShortcut(lmk);
    QCOMPARE(m_log.count(QStringLiteral("read b.txt")), 2);
}

// The shortcut names the open file in a ".lmk" file the user chooses; without a file nothing is
// asked, and a place that cannot be written is reported.
void tst_Document::createShortcut()
{
    modPublic::strCurrentFile.clear();
    m_dialogs->answerMessage(MsgAnswer::OK);
    m_document->CreateShortcut();
    modPublic::strCurrentFolder = QStringLiteral("data/年度");
    modPublic::strCurrentFile = QStringLiteral("メモ.txt");
    m_dialogs->answerSaveFile(m_dir.filePath(QStringLiteral("memo")));
    m_dialogs->answerSaveFile(std::nullopt);
    m_dialogs->answerSaveFile(m_dir.filePath(QStringLiteral("no/such/folder.lmk")));
    m_dialogs->answerMessage(MsgAnswer::OK);
    for (int i = 0; i < 3; ++i)
        m_document->CreateShortcut();
    QFile written(m_dir.filePath(QStringLiteral("memo.lmk")));
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("data/\x94\x4e\x93\x78\t\x83\x81\x83\x82.txt\r\n"));
    QCOMPARE(m_dialogs->saveRequests[0].proposedName, QStringLiteral("メモ.txt"));
    const QStringList texts = m_dialogs->messageTexts();
    QCOMPARE(texts.size(), 2);
    QCOMPARE(Short(texts[0]) + u'|' + Short(texts[1]), QStringLiteral("no file|shortcut failed"));
}

QTEST_GUILESS_MAIN(tst_Document)
#include "tst_document.moc"
