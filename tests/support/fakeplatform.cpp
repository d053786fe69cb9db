#include "fakeplatform.h"

#include <QPrinter>
#include <QTest>

namespace testsupport {

void Fail(const QString &what)
{
    QTest::qFail(qPrintable(what), __FILE__, __LINE__);
}

FakeDialogs::~FakeDialogs()
{
    if (!m_messages.empty() || !m_inputs.empty() || !m_saveFiles.empty() || !m_fonts.empty() || !m_prints.empty())
        Fail(QStringLiteral("a scripted answer was never asked for"));
}

QStringList FakeDialogs::messageTexts() const
{
    QStringList texts;
    for (const AskedMessage &m : messages)
        texts.append(m.request.text);
    return texts;
}

platform::MsgAnswer FakeDialogs::MsgBox(QWidget *, const platform::MessageRequest &request)
{
    const auto [answer, text]
        = next(m_messages, QStringLiteral("message: ") + request.text, std::pair { request.defaultButton, QString() });
    if (!text.isEmpty() && text != request.text)
        Fail(QStringLiteral("the message box said \"%1\", not \"%2\"").arg(request.text, text));
    messages.append({ request, answer });
    return answer;
}

bool FakeDialogs::PrintDialog(QWidget *, QPrinter &printer)
{
    const int copies = next(m_prints, QStringLiteral("print"), 0);
    if (copies > 0)
        printer.setCopyCount(copies);
    return copies > 0;
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
    // Drafts of what the tests type stay with the test.
    static QTemporaryDir stateHome;
    qputenv("XDG_STATE_HOME", stateHome.path().toLocal8Bit());
    // The offscreen platform cannot pass a window's size hints on, and says so at every show:
    // that note is no fault of the program, and the tests fail on every other message.
    static const QtMessageHandler previous
        = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
              if (text != QLatin1String("This plugin does not support propagateSizeHints()"))
                  previous(type, context, text);
          });
}

} // namespace testsupport
