#pragma once

// What the tests of the main window start from: the window with the file browser played by the
// test, a scripted server holding remote files in memory, and local files made and read whole.

#include "app/frmMain.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"

#include <QFile>
#include <QMap>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QUrl>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace testsupport {

inline QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

class ScriptedMain : public frmMain {
public:
    // The browser's answers, one per showing: a file chosen, or std::nullopt for Cancel.
    std::deque<std::optional<app::HistoryItem>> filerAnswers;
    QList<int> filerModes; // lngFilerMode at each showing
    QList<bool> enabledAtFiler;
    QStringList unexpected;
    QStringList registrations; // "visible=0 updateinfo=1" at each start-up registration

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
    void RegisterShortcutType() override
    {
        const bool updateInfo
            = platform::settingsStore().Contains(QStringLiteral("UpdateInfo"), QStringLiteral("CurrentVersion"));
        registrations.append(QStringLiteral("visible=%1 updateinfo=%2").arg(isVisible()).arg(updateInfo));
    }
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

// A fresh settings store, scripted dialogs and server, and the window loaded with no command
// line; afterwards, nothing was asked that the test did not expect and every answer was used.
class WindowTest : public QObject {
protected:
    void start(bool load = true)
    {
        // Each fake installs itself and uninstalls on destruction: the old ones go first.
        m_window.reset();
        m_server.reset();
        m_dialogs.reset();
        m_settings.reset();
        m_settings = std::make_unique<TempSettings>();
        m_dialogs = std::make_unique<FakeDialogs>();
        m_server = std::make_unique<ScriptedServer>();
        modPublic::strCurrentFolder.clear();
        modPublic::strCurrentFile.clear();
        if (load)
            restart();
    }
    // The next run of the program, over the same store and server.
    ScriptedMain *restart(const QString &commandLine = {})
    {
        m_window.reset();
        m_window = std::make_unique<ScriptedMain>();
        m_window->SetCommandLine(commandLine);
        m_window->Form_Load();
        return m_window.get();
    }
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
    }
    // The document as the user sees it: where it is bound, the file name panel, its text, and a
    // star when modified: "data/a.txt [a.txt] text *".
    QString Document() const
    {
        return QStringLiteral("%1/%2 [%3] %4%5")
            .arg(modPublic::strCurrentFolder, modPublic::strCurrentFile,
                m_window->PanelText(QStringLiteral("filename")), m_window->DocumentText(),
                m_window->blnModified ? QStringLiteral(" *") : QString());
    }
    void select(int start, int length)
    {
        QTextCursor cursor(m_window->txtMain->document());
        cursor.setPosition(start);
        cursor.setPosition(start + length, QTextCursor::KeepAnchor);
        m_window->txtMain->setTextCursor(cursor);
    }
    // Drags the data onto the editing box and drops it there.
    void drop(const QMimeData &data, QPoint position = QPoint(5, 5))
    {
        QWidget *viewport = m_window->txtMain->viewport();
        QDragEnterEvent enter(position, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QDropEvent event(position, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &event);
        QCoreApplication::processEvents(); // the drop is handled once its event has returned
    }
    // Local files as a file manager drags them: their addresses and their paths as text.
    void dropFiles(const QStringList &paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls.append(QUrl::fromLocalFile(path));
        data.setUrls(urls);
        data.setText(paths.join(QLatin1Char('\n')));
        drop(data);
    }

    std::unique_ptr<TempSettings> m_settings;
    std::unique_ptr<FakeDialogs> m_dialogs;
    std::unique_ptr<ScriptedServer> m_server;
    std::unique_ptr<ScriptedMain> m_window;
};

} // namespace testsupport
