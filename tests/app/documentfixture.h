#pragma once

// The main window with the file browser played by the test, and a scripted server holding
// remote files in memory, for the document and shortcut tests.

#include "app/frmMain.h"
#include "localfiles.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"

#include <QMap>
#include <QStringList>
#include <QTest>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace testsupport {

class ScriptedMain : public frmMain {
public:
    // The browser's answers, one per showing: a file chosen, or std::nullopt for Cancel.
    std::deque<std::optional<app::HistoryItem>> filerAnswers;
    QList<int> filerModes; // lngFilerMode at each showing
    QList<bool> enabledAtFiler; // the window's state at each showing
    QStringList unexpected;

    void choose(const QString &folder, const QString &file)
    {
        filerAnswers.push_back(app::HistoryItem { folder, file });
    }
    void cancelBrowser() { filerAnswers.push_back(std::nullopt); }

    void ShowFiler() override
    {
        filerModes.append(modPublic::lngFilerMode);
        enabledAtFiler.append(isEnabled());
        if (filerAnswers.empty()) {
            unexpected.append(QStringLiteral("file browser"));
            return;
        }
        const std::optional<app::HistoryItem> answer = filerAnswers.front();
        filerAnswers.pop_front();
        if (!answer)
            return;
        modPublic::strCurrentFolder = answer->Path;
        modPublic::strCurrentFile = answer->File;
        modPublic::blnFilerOK = true;
    }
    void RegisterShortcutType() override { }
};

// READFILE and SAVEFILE over remote files kept by path ("data/a.txt").
class ScriptedServer {
public:
    ScriptedServer()
    {
        modPublic::setCommandHandler(
            [this](const QString &, const modPublic::FieldList &fields) { return Answer(fields); });
    }
    ~ScriptedServer() { modPublic::setCommandHandler(nullptr); }
    ScriptedServer(const ScriptedServer &) = delete;
    ScriptedServer &operator=(const ScriptedServer &) = delete;

    QMap<QString, QString> files;
    QStringList failing; // paths whose every request answers "NG"
    QStringList requests; // "READFILE data/a.txt", "SAVEFILE data/a.txt"
    std::function<void()> onRequest; // runs while each request is in flight

private:
    QString Answer(const modPublic::FieldList &fields)
    {
        QMap<QString, QString> values;
        for (const modPublic::Field &field : fields)
            values.insert(field.first, field.second);
        const QString command = values.value(QStringLiteral("command"));
        const QString path = values.value(QStringLiteral("file"));
        requests.append(command + QLatin1Char(' ') + path);
        if (onRequest)
            onRequest();
        if (failing.contains(path))
            return QStringLiteral("NG");
        if (command == QLatin1String("READFILE"))
            return files.contains(path) ? path + QLatin1Char('\n') + files.value(path) : QStringLiteral("NG");
        if (command == QLatin1String("SAVEFILE")) {
            files.insert(path, values.value(QStringLiteral("content")));
            return QStringLiteral("Save OK\n");
        }
        return QStringLiteral("NG");
    }
};

// What every test of the main window's documents starts from: a fresh settings store, scripted
// dialogs and server, and a loaded window with no command line and no document.
class DocumentTestBase : public QObject {
protected:
    void start()
    {
        m_settings = std::make_unique<TempSettings>();
        m_dialogs = std::make_unique<FakeDialogs>();
        m_server = std::make_unique<ScriptedServer>();
        modPublic::strCurrentFolder.clear();
        modPublic::strCurrentFile.clear();
        restart();
    }
    // The next run of the program, over the same store and server.
    void restart(const QString &commandLine = {})
    {
        m_window.reset();
        m_window = std::make_unique<ScriptedMain>();
        m_window->SetCommandLine(commandLine);
        m_window->Form_Load();
    }
    // Nothing was asked that the test did not expect, and every scripted answer was used.
    void finish()
    {
        if (m_window) {
            QVERIFY2(m_window->unexpected.isEmpty(), qPrintable(m_window->unexpected.join(QLatin1Char('\n'))));
            QVERIFY(m_window->filerAnswers.empty());
            m_window->blnModified = false;
        }
        m_window.reset();
        QVERIFY2(m_dialogs->unexpected.isEmpty(), qPrintable(m_dialogs->unexpected.join(QLatin1Char('\n'))));
        QVERIFY(m_dialogs->allAnswersUsed());
        m_server.reset();
        m_dialogs.reset();
        m_settings.reset();
    }
    // The last question asked, as it was put.
    void verifyQuestion(const QString &text, platform::MsgButtons buttons, platform::MsgAnswer defaultButton)
    {
        QVERIFY(!m_dialogs->messages.isEmpty());
        const platform::MessageRequest &question = m_dialogs->messages.last().request;
        QCOMPARE(question.text, text);
        QCOMPARE(question.icon, platform::MsgIcon::Question);
        QCOMPARE(question.buttons, buttons);
        QCOMPARE(question.defaultButton, defaultButton);
    }

    std::unique_ptr<TempSettings> m_settings;
    std::unique_ptr<FakeDialogs> m_dialogs;
    std::unique_ptr<ScriptedServer> m_server;
    std::unique_ptr<ScriptedMain> m_window;
};

} // namespace testsupport
