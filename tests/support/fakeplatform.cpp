#include "fakeplatform.h"

#include <QPrinter>
#include <QTest>

namespace testsupport {

using platform::MsgAnswer;
using platform::services;

namespace {

void Fail(const QString &what)
{
    QTest::qFail(qPrintable(what), __FILE__, __LINE__);
}

} // namespace

FakeDialogs::FakeDialogs()
    : m_previous(std::exchange(services().dialogs, this))
{
}

FakeDialogs::~FakeDialogs()
{
    services().dialogs = m_previous;
    if (!allAnswersUsed())
        Fail(QStringLiteral("a scripted answer was never asked for"));
}

template<typename T> T FakeDialogs::next(std::deque<T> &answers, const QString &question, T fallback)
{
    if (onQuestion)
        onQuestion();
    if (answers.empty()) {
        Fail(QStringLiteral("unscripted ") + question);
        return fallback;
    }
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

QStringList FakeDialogs::messageTexts() const
{
    QStringList texts;
    for (const AskedMessage &m : messages)
        texts.append(m.request.text);
    return texts;
}

bool FakeDialogs::allAnswersUsed() const
{
    return m_messageAnswers.empty() && m_inputAnswers.empty() && m_saveAnswers.empty() && m_fontAnswers.empty()
        && m_printAnswers.empty() && m_setupAnswers.empty();
}

MsgAnswer FakeDialogs::MsgBox(QWidget *, const platform::MessageRequest &request)
{
    const MessageAnswer scripted = next(m_messageAnswers, QStringLiteral("message: ") + request.text,
        MessageAnswer { request.defaultButton, QString() });
    if (!scripted.text.isEmpty() && scripted.text != request.text)
        Fail(QStringLiteral("the message box said \"%1\", not \"%2\"").arg(request.text, scripted.text));
    messages.append({ request, scripted.answer });
    return scripted.answer;
}

QString FakeDialogs::InputBox(QWidget *, const QString &prompt, const QString &initialText)
{
    inputs.append({ prompt, initialText });
    return next(m_inputAnswers, QStringLiteral("input: ") + prompt, QString());
}

std::optional<QString> FakeDialogs::SaveFileName(QWidget *, const platform::SaveFileRequest &request)
{
    saveRequests.append(request);
    return next(m_saveAnswers, QStringLiteral("save file: ") + request.title, std::optional<QString>());
}

std::optional<platform::FontChoice> FakeDialogs::ChooseFont(QWidget *, const platform::FontChoice &initial)
{
    fontRequests.append(initial);
    return next(m_fontAnswers, QStringLiteral("font"), std::optional<platform::FontChoice>());
}

bool FakeDialogs::PrintDialog(QWidget *, QPrinter &printer)
{
    ++printRequests;
    const PrintAnswer answer = next(m_printAnswers, QStringLiteral("print"), PrintAnswer { false, 1 });
    if (answer.accept)
        printer.setCopyCount(answer.copies);
    return answer.accept;
}

bool FakeDialogs::PrinterSetup(QWidget *, QPrinter &)
{
    ++printerSetupRequests;
    return next(m_setupAnswers, QStringLiteral("printer setup"), false);
}

FakeShell::FakeShell()
    : m_previous(std::exchange(services().shell, this))
{
}

FakeShell::~FakeShell()
{
    services().shell = m_previous;
}

FakeClipboard::FakeClipboard()
    : m_previous(std::exchange(services().clipboard, this))
{
}

FakeClipboard::~FakeClipboard()
{
    services().clipboard = m_previous;
}

FakeMachine::FakeMachine(const QString &name)
    : m_previous(std::exchange(services().computerName, name))
{
}

FakeMachine::~FakeMachine()
{
    services().computerName = m_previous;
}

TempSettings::TempSettings()
    : m_store(std::make_unique<platform::SettingsStore>(path()))
    , m_previous(std::exchange(services().settings, m_store.get()))
{
}

TempSettings::~TempSettings()
{
    services().settings = m_previous;
}

std::unique_ptr<platform::SettingsStore> TempSettings::reopened() const
{
    m_store->Sync();
    return std::make_unique<platform::SettingsStore>(path());
}

namespace {
QtMessageHandler g_testHandler = nullptr;
}

void usePrivateRuntimeDir()
{
    // The offscreen platform cannot pass a window's size hints on, and says so at every show:
    // that note is no fault of the program, and the tests fail on every other message.
    g_testHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
        if (text != QLatin1String("This plugin does not support propagateSizeHints()"))
            g_testHandler(type, context, text);
    });
    static QTemporaryDir runtimeDir;
    QFile::setPermissions(runtimeDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    // Start-up writes the .lmk association into the data folder: never the user's own.
    static QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
}

} // namespace testsupport
