#pragma once

// Scripted stand-ins for the platform services. Each one, while it lives, is the one
// platform::services() names. They are strict: a question nobody scripted fails the running
// test at once, and a scripted answer nobody asked for fails it when the fake goes.

#include "platform/clipboard.h"
#include "platform/dialogs.h"
#include "platform/services.h"
#include "platform/settingsstore.h"
#include "platform/shell.h"

#include <QTemporaryDir>
#include <QUrl>
#include <deque>
#include <functional>
#include <memory>

namespace testsupport {

// Puts a stand-in into one member of platform::services() for its own lifetime.
template <typename T> struct Installed {
    Installed(T &slot, T value)
        : slot(slot)
        , previous(std::exchange(slot, std::move(value)))
    {
    }
    ~Installed() { slot = std::move(previous); }
    T &slot;
    T previous;
};

// Fails the running test with this text.
void Fail(const QString &what);

struct AskedMessage {
    platform::MessageRequest request;
    platform::MsgAnswer answer;
};

class FakeDialogs final : public platform::Dialogs {
public:
    ~FakeDialogs() override;

    // Scripted answers, used in order, each by the next question of its kind. A message box
    // with only OK is scripted too (answerMessage(OK)); with a text, the box must say it.
    void answerMessage(platform::MsgAnswer answer, const QString &text = {}) { m_messages.push_back({ answer, text }); }
    void answerInput(const QString &text) { m_inputs.push_back(text); }
    void answerSaveFile(std::optional<QString> path) { m_saveFiles.push_back(std::move(path)); }
    void answerFont(std::optional<platform::FontChoice> font) { m_fonts.push_back(std::move(font)); }
    void answerPrint(bool accept, int copies = 1) { m_prints.push_back(accept ? copies : 0); }

    QList<AskedMessage> messages;
    QStringList inputs; // the initial text of each input box asked
    // Called with each question ("message: TEXT", "save file: TITLE", ...) before it is answered.
    std::function<void(const QString &question)> onQuestion;

    QStringList messageTexts() const;

    platform::MsgAnswer MsgBox(QWidget *owner, const platform::MessageRequest &request) override;
    QString InputBox(QWidget *, const QString &prompt, const QString &initialText) override
    {
        inputs.append(initialText);
        return next(m_inputs, QStringLiteral("input: ") + prompt, QString());
    }
    std::optional<QString> SaveFileName(QWidget *, const platform::SaveFileRequest &request) override
    {
        return next(m_saveFiles, QStringLiteral("save file: ") + request.proposedName, std::optional<QString>());
    }
    std::optional<platform::FontChoice> ChooseFont(QWidget *, const platform::FontChoice &) override
    {
        return next(m_fonts, QStringLiteral("font"), std::optional<platform::FontChoice>());
    }
    bool PrintDialog(QWidget *owner, QPrinter &printer) override;
    bool PrinterSetup(QWidget *, QPrinter &) override
    {
        Fail(QStringLiteral("unscripted printer setup"));
        return false;
    }

private:
    // The next scripted answer of a kind; without one the test fails and `fallback`, the
    // safest answer, is given.
    template <typename T> T next(std::deque<T> &answers, const QString &question, T fallback)
    {
        if (onQuestion)
            onQuestion(question);
        if (answers.empty()) {
            Fail(QStringLiteral("unscripted ") + question);
            return fallback;
        }
        T answer = std::move(answers.front());
        answers.pop_front();
        return answer;
    }

    Installed<platform::Dialogs *> m_installed { platform::services().dialogs, this };
    std::deque<std::pair<platform::MsgAnswer, QString>> m_messages;
    std::deque<QString> m_inputs;
    std::deque<std::optional<QString>> m_saveFiles;
    std::deque<std::optional<platform::FontChoice>> m_fonts;
    std::deque<int> m_prints; // copies; 0: cancelled
};

class FakeShell final : public platform::Shell {
public:
    void Open(const QUrl &address) override { opened.append(address); }
    QList<QUrl> opened;

private:
    Installed<platform::Shell *> m_installed { platform::services().shell, this };
};

class FakeClipboard final : public platform::Clipboard {
public:
    bool HasText() const override { return hasText; }
    QString Text() const override { return hasText ? text : QString(); }
    void SetText(const QString &t) override { text = t, hasText = true; }
    void Clear() override { text.clear(), hasText = false; }
    QString text;
    bool hasText = false; // false: empty, or only a picture or files

private:
    Installed<platform::Clipboard *> m_installed { platform::services().clipboard, this };
};

// A settings store in a temporary folder, installed for the fixture's lifetime.
class TempSettings {
public:
    platform::SettingsStore &store() { return *m_store; }
    QString path() const { return m_dir.filePath(QStringLiteral("Lumeno.ini")); }
    // The store reopened from disk, as the next run would see it.
    std::unique_ptr<platform::SettingsStore> reopened() const;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<platform::SettingsStore> m_store = std::make_unique<platform::SettingsStore>(path());
    Installed<platform::SettingsStore *> m_installed { platform::services().settings, m_store.get() };
};

// Points XDG_RUNTIME_DIR at a private folder so Qt does not warn about the shared one, and
// XDG_DATA_HOME at another, where start-up's file-type association goes in tests. Call it in
// initTestCase(): it also keeps the offscreen platform's note about size hints out of the log.
void usePrivateRuntimeDir();

} // namespace testsupport
