// The document's life cycle, without a window: the seams write what they are asked into a log.

#include "app/document.h"
#include "app/shortcutfile.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"
#include "support/tables.h"

#include <QTest>

using platform::MsgAnswer;

class tst_Document : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        m_log.clear();
        m_dialogs = std::make_unique<testsupport::FakeDialogs>();
        // A message logs "?" and its first words, the save-file dialog "file?" and the name it proposes.
        m_dialogs->onQuestion = [this](const QString &question) {
            m_log.append(question.startsWith(QLatin1String("message: ")) ? u'?' + question.mid(9, 6)
                                                                         : "file?" + question.mid(11));
        };
        m_document = std::make_unique<app::Document>(nullptr,
            app::DocumentSeams {
                .text = [this] { return m_text; },
                .setText = [this](const QString &text) { m_log.append(QStringLiteral("text=") + (m_text = text)); },
                .showFileName = [this](const QString &name) { m_log.append(QStringLiteral("name=") + name); },
                .historyChanged = [this] { m_log.append(QStringLiteral("history")); },
                .lockWindow = [this](bool locked) { m_log.append(locked ? "lock" : "unlock"); },
                .showProgress = [this](const QString &note) { m_log.append(note.isEmpty() ? "idle" : "busy"); },
                .showFiler =
                    [this] {
                        m_log.append(QStringLiteral("filer%1").arg(modPublic::lngFilerMode));
                        if (m_filerChoice.startsWith(u'='))
                            modPublic::strFilerUntitled = textencoding::DecodeDocument(m_filerChoice.mid(1).toUtf8());
                        if (!(modPublic::blnFilerOK = !m_filerChoice.isEmpty() && !modPublic::strFilerUntitled))
                            return;
                        modPublic::strCurrentFolder = QStringLiteral("data");
                        modPublic::strCurrentFile = QString(m_filerChoice).remove(u'!');
                        modPublic::blnFilerReplaces = m_filerChoice.endsWith(u'!');
                    },
                .readFile
                = [this](const QString &folder, const QString &file) -> std::optional<modPublic::RemoteDocument> {
                    m_log.append(QStringLiteral("read ") + file);
                    if (m_server.startsWith(QLatin1String("NG")) || folder != QLatin1String("data"))
                        return std::nullopt;
                    return modPublic::RemoteDocument { file.toUpper(), QStringLiteral("r") };
                },
                .saveFile =
                    [this](const QString &, const QString &file, const QByteArray &bytes,
                        const modPublic::SaveCondition &c) {
                        m_log.append(QStringLiteral("save ") + file + (bytes == "A" ? "" : " " + bytes.toHex())
                            + (c.version.isEmpty() ? "" : " if=" + c.version) + (c.absent ? " new" : ""));
                        const QString answer = m_server.section(u' ', 0, 0);
                        m_server = m_server.section(u' ', 1);
                        using modPublic::SaveResult;
                        const QMap<QString, SaveResult> results { { "NG", SaveResult::Failed },
                            { "412", SaveResult::Conflict }, { "BAD", SaveResult::Unconfirmed } };
                        const SaveResult result = results.value(answer, SaveResult::Saved);
                        return modPublic::SaveOutcome { result, result == SaveResult::Unconfirmed ? "x" : "s" };
                    },
                .showEncoding = {},
                .dropDraft = [] {},
            });
    }
    void cleanup() { m_dialogs.reset(); }
    void lifeCycle_data()
    {
        QVERIFY(app::WriteShortcut(m_dir.filePath("b.lmk"), { QStringLiteral("data"), QStringLiteral("b.txt") }));
        QFile file(m_dir.filePath("l.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("\x82\xa0") == 2);
        QFile utf8(m_dir.filePath("u.txt"));
        QVERIFY(utf8.open(QIODevice::WriteOnly) && utf8.write("\xe3\x81\x82") == 3);
        QVERIFY(QFile(m_dir.filePath("empty.txt")).open(QIODevice::WriteOnly));
        // Sparse: past the size a drop may have, and exactly that size, a shortcut.
        QFile huge(m_dir.filePath(QStringLiteral("huge.txt"))), edge(m_dir.filePath(QStringLiteral("edge.lmk")));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(app::kLargestDroppedFile + 1));
        QVERIFY(app::WriteShortcut(edge.fileName(), { "data", "e.txt" }) && edge.resize(app::kLargestDroppedFile));
        testsupport::AddTableRows(QStringLiteral("document-life-cycle.txt"));
    }
    // Each command asks what it must, in order, reaches the server and the browser only with the
    // window locked and the busy note up, and leaves the document, its name and the recent files
    // as the user expects; text that did not reach the server is never dropped.
    void lifeCycle()
    {
        QFETCH(QString, start);
        QFETCH(QString, command);
        QFETCH(QString, answers);
        m_document->blnModified = start.endsWith(u'*');
        m_document->strVersion = start.contains(u'/') ? QStringLiteral("v0") : QString();
        modPublic::strCurrentFolder = start.section(u'/', 0, 0).remove(u'*');
        modPublic::strCurrentFile = start.section(u'/', 1).remove(u'*');
        m_document->arrHistory = { app::HistoryItem { "data", "x" }, app::HistoryItem { "data", "a.txt" } };
        QFETCH(QString, text);
        m_text = text;
        QFETCH(QString, filer);
        m_filerChoice = filer;
        QFETCH(QString, server);
        m_server = server;
        const std::map<QChar, MsgAnswer> answer { { u'Y', MsgAnswer::Yes }, { u'N', MsgAnswer::No },
            { u'C', MsgAnswer::Cancel }, { u'O', MsgAnswer::OK } };
        for (const QChar letter : answers)
            m_dialogs->answerMessage(answer.at(letter));
        const QString argument = command.section(u' ', 1).replace(QLatin1String("$dir"), m_dir.path());
        const QStringList commands { "new", "open", "save", "saveAs", "recent", "shortcut", "drop", "untitled",
            "restored", "create" };
        switch (commands.indexOf(command.section(u' ', 0, 0))) {
        case 0: m_document->NewDocument(); break;
        case 1: m_document->OpenDocument(); break;
        case 2: m_document->SaveCurrentDocument(); break;
        case 3: m_document->SaveDocumentAs(); break;
        case 4: m_document->OpenRecentFile(argument.toInt()); break;
        case 5: m_document->OpenShortcut(argument); break;
        case 6: m_document->OpenDroppedFiles(argument.split(u' ')); break;
        case 7: m_document->OpenUntitledText({ argument }); break;
        case 8: m_document->CurrentFileRestored(); break;
        default:
            if (!argument.isEmpty())
                m_dialogs->answerSaveFile(argument);
            m_document->CreateShortcut();
            if (!argument.isEmpty())
                m_document->OpenShortcut(argument + ".lmk");
        }
        // Enter never replaces or drops anything: Cancel where there is one, otherwise No.
        for (const testsupport::AskedMessage &asked : m_dialogs->messages)
            if (asked.request.buttons != platform::MsgButtons::OK)
                QCOMPARE(asked.request.defaultButton,
                    asked.request.buttons == platform::MsgButtons::YesNoCancel ? MsgAnswer::Cancel : MsgAnswer::No);
        QTEST(m_log.join(u' '), "log");
        QString state = modPublic::strCurrentFolder + u'/' + modPublic::strCurrentFile;
        state += m_document->blnModified ? QStringLiteral("*") : QString();
        state += u' ' + app::HistoryCaptions(m_document->arrHistory).join(u' ');
        state += m_document->strVersion.isEmpty() ? QString() : " @" + m_document->strVersion;
        if (m_document->encoding != textencoding::TextEncoding::ShiftJis)
            state += u' ' + textencoding::EncodingName(m_document->encoding);
        QTEST(state, "state");
    }
    // A shortcut opened while one is being opened (the failure message hands the activation back
    // to the window) is left alone.
    void shortcutOpensOnceAtATime()
    {
        const QString lmk = m_dir.filePath(QStringLiteral("again.lmk"));
        QVERIFY(app::WriteShortcut(lmk, { QStringLiteral("data"), QStringLiteral("b.txt") }));
        const auto read = m_document->seams.readFile;
        m_document->seams.readFile = [&](const QString &folder, const QString &file) {
            m_document->OpenShortcut(lmk);
            return read(folder, file);
        };
        m_document->OpenShortcut(lmk);
        m_document->seams.readFile = read;
        m_document->OpenShortcut(lmk);
        QCOMPARE(m_log.count(QStringLiteral("read b.txt")), 2);
    }

private:
    QTemporaryDir m_dir;
    QStringList m_log;
    QString m_text;
    QString m_filerChoice; // "c.txt" in "data", or empty for Cancel
    QString m_server; // the answers to the saves in turn (412, NG, BAD: unconfirmed; else saved); NG: reads fail
    std::unique_ptr<testsupport::FakeDialogs> m_dialogs;
    std::unique_ptr<app::Document> m_document;
};

QTEST_GUILESS_MAIN(tst_Document)
#include "tst_document.moc"
