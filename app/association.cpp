#include "association.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace app {

namespace {

QString RegistryError(const char *call)
{
    return QStringLiteral("レジストリ操作エラー(%1)").arg(QLatin1String(call));
}

bool WriteWhole(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(bytes) == bytes.size() && file.commit();
}

bool CopyPicture(const QString &resource, const QString &path)
{
    QFile picture(resource);
    if (!picture.open(QIODevice::ReadOnly))
        return false;
    return WriteWhole(path, picture.readAll());
}

// The MIME package and the desktop entry are the files the editor's package installs (packaging/),
// compiled in, so that the user's association and the system-wide one cannot drift apart.
QByteArray PackagedFile(const char *name)
{
    QFile file(QStringLiteral(":/packaging/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A tool that is not installed has nothing to refresh; one that is installed must start. It runs
// on its own: the desktop's caches need not be fresh before the window shows.
bool RunIfInstalled(const QString &tool, const QString &folder)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return true;
    QProcess process;
    process.setProgram(program);
    process.setArguments({ folder });
    process.setStandardOutputFile(QProcess::nullDevice());
    return process.startDetached();
}

} // namespace

QString UserDataHome()
{
    const QString configured = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(configured))
        return QDir::cleanPath(configured);
    return QDir::homePath() + QStringLiteral("/.local/share");
}

QByteArray MimePackageText()
{
    return PackagedFile("lumeno.xml");
}

QString DesktopExecArgument(const QString &path)
{
    // Inside the quotes, ", `, $ and \ take a backslash, and % doubles as a field code would.
    QString quoted;
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
        if (c == u'%')
            quoted += u'%';
    }
    // The file format then escapes every backslash once more.
    QString argument = u'"' + quoted + u'"';
    return argument.replace(u'\\', QLatin1String("\\\\"));
}

QByteArray DesktopEntryText(const QString &executable)
{
    // The package's entry runs the lumeno command on the PATH; the user's runs this executable,
    // with the same arguments after it.
    QList<QByteArray> lines = PackagedFile("lumeno.desktop").split('\n');
    for (QByteArray &line : lines) {
        if (!line.startsWith("Exec="))
            continue;
        const qsizetype arguments = line.indexOf(' ');
        const QByteArray rest = arguments < 0 ? QByteArray() : line.mid(arguments);
        line = "Exec=" + DesktopExecArgument(executable).toUtf8() + rest;
    }
    return lines.join('\n');
}

QString RegisterAssociation(const QString &dataHome, const QString &executable)
{
    const QDir home(dataHome);
    const auto path = [&home](const char *relative) { return home.filePath(QLatin1String(relative)); };
    const auto folderOf = [&path](const char *relative) { return QFileInfo(path(relative)).path(); };

    if (QFileInfo(path(SHORTCUT_MIME_PACKAGE)).isFile())
        return {};
    if (!QDir().mkpath(folderOf(SHORTCUT_MIME_PACKAGE)))
        return RegistryError("RegCreateKeyEx[1]");
    if (!WriteWhole(path(SHORTCUT_MIME_PACKAGE), MimePackageText()))
        return RegistryError("RegSetValueEx[1]");

    if (!QDir().mkpath(folderOf(DESKTOP_ENTRY_FILE)))
        return RegistryError("RegCreateKeyEx[2]");
    if (!WriteWhole(path(DESKTOP_ENTRY_FILE), DesktopEntryText(executable)))
        return RegistryError("RegSetValueEx[2-1]");
    if (!RunIfInstalled(QStringLiteral("update-mime-database"), home.filePath(QStringLiteral("mime")))
        || !RunIfInstalled(QStringLiteral("update-desktop-database"), folderOf(DESKTOP_ENTRY_FILE)))
        return RegistryError("RegSetValueEx[2-2]");

    if (!QDir().mkpath(folderOf(SHORTCUT_ICON_FILE)))
        return RegistryError("RegCreateKeyEx[3]");
    if (!CopyPicture(QStringLiteral(":/app/shortcut.png"), path(SHORTCUT_ICON_FILE)))
        return RegistryError("RegSetValueEx[3]");

    if (!QDir().mkpath(folderOf(PROGRAM_ICON_FILE)))
        return RegistryError("RegCreateKeyEx[4]");
    if (!CopyPicture(QStringLiteral(":/app/lumeno.png"), path(PROGRAM_ICON_FILE)))
        return RegistryError("RegSetValueEx[4]");
    return {};
}

} // namespace app
