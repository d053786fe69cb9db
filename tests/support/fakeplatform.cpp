#include "fakeplatform.h"

#include <QPrinter>
#include <QStandardPaths>

namespace testsupport {

using platform::MsgAnswer;
using platform::MsgButtons;

FakeDialogs::FakeDialogs()
{
    platform::setDialogs(this);
}

FakeDialogs::~FakeDialogs()
{
    platform::setDialogs(nullptr);
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
    if (onQuestion)
        onQuestion();
    MsgAnswer answer = MsgAnswer::OK;
    if (request.buttons == MsgButtons::OK) {
        // A plain notice needs no script: OK is its only answer. A scripted OK is consumed.
        if (!m_messageAnswers.empty() && m_messageAnswers.front() == MsgAnswer::OK)
            m_messageAnswers.pop_front();
    } else if (!m_messageAnswers.empty()) {
        answer = m_messageAnswers.front();
        m_messageAnswers.pop_front();
    } else {
        unexpected.append(QStringLiteral("question: ") + request.text);
        answer = request.buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Cancel;
    }
    messages.append({request, answer});
    return answer;
}

QString FakeDialogs::InputBox(QWidget *, const QString &prompt, const QString &initialText)
{
    if (onQuestion)
        onQuestion();
    inputs.append({prompt, initialText});
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
    const PrintAnswer answer = next(m_printAnswers, QStringLiteral("print"), PrintAnswer{false, 1});
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
{
    platform::setShell(this);
}

FakeShell::~FakeShell()
{
    platform::setShell(nullptr);
}

FakeClipboard::FakeClipboard()
{
    platform::setClipboard(this);
}

FakeClipboard::~FakeClipboard()
{
    platform::setClipboard(nullptr);
}

TempSettings::TempSettings()
    : m_store(std::make_unique<platform::SettingsStore>(path()))
{
    platform::setSettingsStore(m_store.get());
}

TempSettings::~TempSettings()
{
    platform::setSettingsStore(nullptr);
}

std::unique_ptr<platform::SettingsStore> TempSettings::reopened() const
{
    m_store->Sync();
    return std::make_unique<platform::SettingsStore>(path());
}

void usePrivateRuntimeDir()
{
    static QTemporaryDir runtimeDir;
    QFile::setPermissions(runtimeDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    // Start-up writes the .lmk association into the data folder: never the user's own.
    static QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
}

} // namespace testsupport
