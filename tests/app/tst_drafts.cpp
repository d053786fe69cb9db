// Drafts of the modified document on the local disk: written on their schedule, gone once the
// text is on the server or given up, offered back after a crash, each editor's kept apart.

#include "app/draft.h"
#include "app/draftstore.h"
#include "app/frmMain.h"
#include "app/shortcutfile.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"
#include "support/keyboard.h"
#include "support/tables.h"

#include <QAction>
#include <QDir>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>

using platform::MsgAnswer;

namespace {

// A window on server "srv" with data/a.txt open at version v0, over a fresh store, its drafts
// under XDG_STATE_HOME as the test sets it; its browser picks b.txt, its server saves all.
struct Fixture {
    explicit Fixture(const QString &answers, const QString &commandLine = {})
    {
        window.SetCommandLine(commandLine);
        const std::map<QChar, MsgAnswer> answer { { u'Y', MsgAnswer::Yes }, { u'N', MsgAnswer::No },
            { u'C', MsgAnswer::Cancel }, { u'O', MsgAnswer::OK }, { u'D', MsgAnswer::Yes }, { u'K', MsgAnswer::No } };
        for (const QChar letter : answers)
            dialogs.answerMessage(answer.at(letter));
        settings.store().SaveSetting(QStringLiteral("Setting"), QStringLiteral("Server"), QStringLiteral("srv"));
        window.DraftClock = [this] { return now; };
        window.document.seams.showFiler = [] {
            modPublic::blnFilerOK = true;
            modPublic::strCurrentFile = QStringLiteral("b.txt");
        };
        window.document.seams.readFile = [](const QString &, const QString &file) {
            return std::optional(modPublic::RemoteDocument { file.toUpper(), QStringLiteral("v2") });
        };
        window.document.seams.saveFile = [](auto &, auto &, auto &, auto &) {
            return modPublic::SaveOutcome { modPublic::SaveResult::Saved, QStringLiteral("v3") };
        };
        modPublic::strCurrentFolder = QStringLiteral("data");
        modPublic::strCurrentFile = QStringLiteral("a.txt");
        window.document.strVersion = QStringLiteral("v0");
        window.Form_Load();
    }
    qint64 now = 0;
    testsupport::TempSettings settings;
    testsupport::FakeDialogs dialogs;
    struct : frmMain {
        void RegisterShortcutType() override { }
    } window;
};

QString DraftsFolder()
{
    return qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/Lumeno/drafts");
}

// The drafts in the folder; the bytes of a file that is no draft as its text.
QList<app::Draft> DraftsOnDisk()
{
    QList<app::Draft> drafts;
    for (const QFileInfo &info : QDir(DraftsFolder()).entryInfoList({ QStringLiteral("*.draft") }, QDir::Files)) {
        QFile file(info.filePath());
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        app::Draft raw;
        raw.text = QString::fromUtf8(bytes);
        drafts.append(app::DecodeDraft(bytes).value_or(raw));
    }
    return drafts;
}

} // namespace

class tst_Drafts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        QVERIFY(m_state.emplace().isValid());
        qputenv("XDG_STATE_HOME", m_state->path().toLocal8Bit());
    }

    void lifeCycle_data() { testsupport::AddTableRows(QStringLiteral("draft-life-cycle.txt")); }
    // The draft follows the document: written a while after typing pauses and now and then
    // while it goes on, gone once the text is saved or given up, kept when the program is ended
    // from outside; a folder that cannot be written is told once and editing goes on.
    void lifeCycle()
    {
        QFETCH(QString, answers);
        QFETCH(QString, steps);
        if (QByteArray(QTest::currentDataTag()).startsWith("blocked"))
            qputenv("XDG_STATE_HOME", QFile::encodeName(QCoreApplication::applicationFilePath()));
        QStringList drafts;
        {
            Fixture f(answers);
            for (const QString &step : steps.split(u' ')) {
                const QString name = step.section(u'@', 0, 0);
                const QStringList times = step.section(u'@', 1).split(QRegularExpression(QStringLiteral("[*/]")));
                for (int i = 0; i < times.value(1, QStringLiteral("1")).toInt(); ++i) {
                    f.now = times[0].toLongLong() + i * times.value(2).toLongLong();
                    if (name.startsWith(QLatin1String("type:")))
                        testsupport::typeText(f.window.txtMain, name.mid(5));
                    else if (name == QLatin1String("tick"))
                        f.window.tmrDraft_Timer();
                    else if (name == QLatin1String("end"))
                        f.window.EndFromOutside();
                    else
                        f.window.findChild<QAction *>(QStringLiteral("menu") + name)->trigger();
                }
                f.window.FlushDrafts();
                const QList<app::Draft> onDisk = DraftsOnDisk();
                QVERIFY(onDisk.size() <= 1);
                drafts.append(onDisk.isEmpty() ? QStringLiteral("-") : onDisk[0].text);
            }
            if (!answers.isEmpty() && answers.back() == u'O')
                QCOMPARE(f.window.statusBar()->currentMessage(), QStringLiteral("下書きを保存できません。"));
        }
        QTEST(drafts.join(u' '), "drafts");
        const QDir folder(DraftsFolder());
        QTEST(QStringLiteral("%1 %2")
                  .arg(folder.entryList({ "*.draft" }).size())
                  .arg(folder.entryList({ "*.lock" }).size()),
            "left");
    }

    void offers_data() { testsupport::AddTableRows(QStringLiteral("draft-offers.txt")); }
    // At start-up the drafts of editors that are gone are offered, newest first, Enter keeping
    // the text: Yes restores one, modified and bound as it was (untitled from another server),
    // and no more; No deletes it or keeps it for the next start, as the user says.
    void offers()
    {
        QFETCH(QString, drafts);
        const QStringList list = drafts.split(u';', Qt::SkipEmptyParts);
        QVERIFY(QDir().mkpath(DraftsFolder()));
        for (int i = 0; i < list.size(); ++i) {
            const QStringList f = list[i].split(u',');
            const app::LineBreakStyle style = f.value(4) == "LF" ? app::LineBreakStyle::Lf : app::LineBreakStyle::CrLf;
            const QDateTime changed = QDateTime::fromSecsSinceEpoch(1700000000 + i * 60);
            QFile file(QStringLiteral("%1/%2.draft").arg(DraftsFolder()).arg(i));
            QVERIFY(file.open(QIODevice::WriteOnly)
                && file.write(f.size() < 4 ? f[0].toUtf8()
                                           : app::EncodeDraft({ f[0], f[1].section(u'/', 0, 0), f[1].section(u'/', 1),
                                               f[2], style, changed, f[3], textencoding::EncodingNamed(f.value(5)) }))
                && file.flush() && file.setFileTime(changed, QFileDevice::FileModificationTime));
        }
        QFETCH(QString, answers);
        QFETCH(QString, shortcut);
        const QString lmk = m_state->filePath(QStringLiteral("x.lmk"));
        QVERIFY(shortcut.isEmpty() || app::WriteShortcut(lmk, { QStringLiteral("data"), shortcut }));
        QStringList asked, state;
        {
            Fixture f(answers, shortcut.isEmpty() ? QString() : lmk);
            f.window.Form_Activate();
            for (const testsupport::AskedMessage &message : f.dialogs.messages) {
                const QString &text = message.request.text;
                const bool offer = text.startsWith(QStringLiteral("前回"));
                // Enter never throws text away: only the offer has Yes for its default.
                QCOMPARE(message.request.defaultButton == MsgAnswer::Yes, offer);
                asked.append(offer ? text.section(QStringLiteral("文書: "), 1).section(u'\r', 0, 0)
                            + (text.contains(QStringLiteral("別のサーバ（srv2）")) ? "@other" : "")
                                   : text.left(5));
            }
            state = QStringList { modPublic::strCurrentFolder + u'/' + modPublic::strCurrentFile
                    + (f.window.document.blnModified ? "*" : ""),
                f.window.document.strVersion.isEmpty() ? QString() : u'@' + f.window.document.strVersion,
                f.window.DocumentText(), f.window.DocumentLineBreaks() == app::LineBreakStyle::Lf ? "LF" : "",
                f.window.PanelText(QStringLiteral("encoding")) };
            state.removeAll(QStringLiteral("Shift-JIS"));
        }
        QTEST(asked.join(u' '), "asked");
        state.removeAll(QString());
        QTEST(state.join(u' '), "state");
        QStringList left;
        for (const app::Draft &draft : DraftsOnDisk())
            left.append(draft.text);
        left.sort();
        QTEST(left.join(u' '), "left");
    }

    // Two editors at once never take each other's drafts; a draft is the user's alone; once its
    // editor is gone, the next to look has it to itself while it decides.
    void editorsKeptApart()
    {
        auto first = std::make_unique<app::DraftStore>(DraftsFolder());
        app::DraftStore second(DraftsFolder());
        QVERIFY(first->Write("A") && second.Write("B") && first->DraftPath() != second.DraftPath());
        QCOMPARE(QFile::permissions(DraftsFolder()) & 0x7077, QFileDevice::Permissions(0x7000));
        QCOMPARE(QFile::permissions(second.DraftPath()) & 0x7077, QFileDevice::Permissions(0x6000));
        QCOMPARE(app::DraftStore(DraftsFolder()).StaleDrafts().size(), 0u);
        first.reset();
        std::vector<app::StaleDraft> stale = app::DraftStore(DraftsFolder()).StaleDrafts();
        QCOMPARE(stale.size(), 1u);
        QCOMPARE(stale[0].bytes, QByteArray("A"));
        QCOMPARE(second.StaleDrafts().size(), 0u);
    }

private:
    std::optional<QTemporaryDir> m_state;
};

QTEST_MAIN(tst_Drafts)
#include "tst_drafts.moc"
