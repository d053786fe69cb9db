#pragma once

// Scripted stand-ins for the platform services. Each one, while it lives, is the one
// platform::services() names. They are strict: a question nobody scripted fails the running
// test at once, and a scripted answer nobody asked for fails it when the fake goes.

#include "platform/clipboard.h"
#include "platform/dialogs.h"
#include "platform/services.h"
#include "platform/settingsstore.h"
#include "platform/shell.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <deque>
#include <functional>
#include <memory>

namespace testsupport {

struct AskedMessage {
    platform::MessageRequest request;
    platform::MsgAnswer answer;
};

struct AskedInput {
    QString prompt;
    QString initialText;
};

class FakeDialogs final : public platform::Dialogs {
public:
    FakeDialogs();
    ~FakeDialogs() override;

    // Scripted answers, used in order, each by the next question of its kind. A message box
    // with only OK is scripted too (answerMessage(OK)); with a text, the box must say it.
    void answerMessage(platform::MsgAnswer answer, const QString &text = {}) { m_messageAnswers.push_back({ answer, text }); }
    void answerInput(const QString &text) { m_inputAnswers.push_back(text); }
    void answerSaveFile(std::optional<QString> path) { m_saveAnswers.push_back(std::move(path)); }
    void answerFont(std::optional<platform::FontChoice> font) { m_fontAnswers.push_back(std::move(font)); }
    void answerPrint(bool accept, int copies = 1) { m_printAnswers.push_back({ accept, copies }); }
    void answerPrinterSetup(bool accept) { m_setupAnswers.push_back(accept); }

    QList<AskedMessage> messages;
    QList<AskedInput> inputs;
    QList<platform::SaveFileRequest> saveRequests;
    QList<platform::FontChoice> fontRequests;
    int printRequests = 0;
    int printerSetupRequests = 0;
    // Stays empty: an unscripted question fails the test where it is asked. Kept until the
    // tests that still read it are rewritten.
    QStringList unexpected;
    // Called while a question is open, before it is answered (to look at the window then).
    std::function<void()> onQuestion;

    QStringList messageTexts() const;
    bool allAnswersUsed() const;

    platform::MsgAnswer MsgBox(QWidget *owner, const platform::MessageRequest &request) override;
    QString InputBox(QWidget *owner, const QString &prompt, const QString &initialText) override;
    std::optional<QString> SaveFileName(QWidget *owner, const platform::SaveFileRequest &request) override;
    std::optional<platform::FontChoice> ChooseFont(QWidget *owner, const platform::FontChoice &initial) override;
    bool PrintDialog(QWidget *owner, QPrinter &printer) override;
    bool PrinterSetup(QWidget *owner, QPrinter &printer) override;

private:
    struct MessageAnswer {
        platform::MsgAnswer answer;
        QString text;
    };
    struct PrintAnswer {
        bool accept;
        int copies;
    };
    // The next scripted answer of a kind; without one the test fails and `fallback`, the
    // safest answer, is given.
    template<typename T> T next(std::deque<T> &answers, const QString &question, T fallback);

    platform::Dialogs *m_previous;
    std::deque<MessageAnswer> m_messageAnswers;
    std::deque<QString> m_inputAnswers;
    std::deque<std::optional<QString>> m_saveAnswers;
    std::deque<std::optional<platform::FontChoice>> m_fontAnswers;
    std::deque<PrintAnswer> m_printAnswers;
    std::deque<bool> m_setupAnswers;
};

class FakeShell final : public platform::Shell {
public:
    FakeShell();
    ~FakeShell() override;
    void Open(const QUrl &address) override { opened.append(address); }
    QList<QUrl> opened;

private:
    platform::Shell *m_previous;
};

class FakeClipboard final : public platform::Clipboard {
public:
    FakeClipboard();
    ~FakeClipboard() override;
    bool HasText() const override { return hasText; }
    QString Text() const override { return hasText ? text : QString(); }
    void SetText(const QString &t) override
    {
        text = t;
        hasText = true;
    }
    void Clear() override
    {
        text.clear();
        hasText = false;
    }
    QString text;
    bool hasText = false; // false: empty, or only a picture or files

private:
    platform::Clipboard *m_previous;
};

// Another computer's name, for the fixture's lifetime.
class FakeMachine {
public:
    explicit FakeMachine(const QString &name);
    ~FakeMachine();

private:
    std::optional<QString> m_previous;
};

// A settings store in a temporary folder, installed for the fixture's lifetime.
class TempSettings {
public:
    TempSettings();
    ~TempSettings();
    platform::SettingsStore &store() { return *m_store; }
    QString path() const { return m_dir.filePath(QStringLiteral("Lumeno.ini")); }
    // The store reopened from disk, as the next run would see it.
    std::unique_ptr<platform::SettingsStore> reopened() const;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<platform::SettingsStore> m_store;
    platform::SettingsStore *m_previous;
};

// Points XDG_RUNTIME_DIR at a private folder so Qt does not warn about the shared one, and
// XDG_DATA_HOME at another, where start-up's file-type association goes in tests. Call it in
// initTestCase(): it also keeps the offscreen platform's note about size hints out of the log.
void usePrivateRuntimeDir();

} // namespace testsupport
