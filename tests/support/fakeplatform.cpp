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
    if (m_inputAnswers.empty()) {
        unexpected.append(QStringLiteral("input: ") + prompt);
        return QString();
    }
    const QString answer = m_inputAnswers.front();
    m_inputAnswers.pop_front();
    return answer;
}

std::optional<QString> FakeDialogs::SaveFileName(QWidget *, const platform::SaveFileRequest &request)
{
    saveRequests.append(request);
    if (m_saveAnswers.empty()) {
        unexpected.append(QStringLiteral("save file: ") + request.title);
        return std::nullopt;
    }
    std::optional<QString> answer = std::move(m_saveAnswers.front());
    m_saveAnswers.pop_front();
    return answer;
}

std::optional<platform::FontChoice> FakeDialogs::ChooseFont(QWidget *, const platform::FontChoice &initial)
{
    fontRequests.append(initial);
    if (m_fontAnswers.empty()) {
        unexpected.append(QStringLiteral("font"));
        return std::nullopt;
    }
    std::optional<platform::FontChoice> answer = std::move(m_fontAnswers.front());
    m_fontAnswers.pop_front();
    return answer;
}

bool FakeDialogs::PrintDialog(QWidget *, QPrinter &printer)
{
    ++printRequests;
    if (m_printAnswers.empty()) {
        unexpected.append(QStringLiteral("print"));
        return false;
    }
    const PrintAnswer answer = m_printAnswers.front();
    m_printAnswers.pop_front();
    if (answer.accept)
        printer.setCopyCount(answer.copies);
    return answer.accept;
}

bool FakeDialogs::PrinterSetup(QWidget *, QPrinter &)
{
    ++printerSetupRequests;
    if (m_setupAnswers.empty()) {
        unexpected.append(QStringLiteral("printer setup"));
        return false;
    }
    const bool answer = m_setupAnswers.front();
    m_setupAnswers.pop_front();
    return answer;
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
}

} // namespace testsupport
