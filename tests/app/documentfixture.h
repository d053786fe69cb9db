#pragma once

// The main window with the file browser played by the test, and a scripted server holding
// remote files in memory, for the document and shortcut tests.

#include "app/frmMain.h"
#include "protocol/modPublic.h"

#include <QMap>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

namespace testsupport {

class ScriptedMain : public frmMain {
public:
    // The browser's answers, one per showing: a file chosen, or std::nullopt for Cancel.
    std::deque<std::optional<app::HistoryItem>> filerAnswers;
    QList<int> filerModes; // lngFilerMode at each showing
    QList<bool> enabledAtFiler; // the window's state at each showing
    QStringList unexpected;

    void choose(const QString &folder, const QString &file) { filerAnswers.push_back(app::HistoryItem { folder, file }); }
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

} // namespace testsupport
