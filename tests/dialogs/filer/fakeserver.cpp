#include "fakeserver.h"

namespace testsupport {

namespace {

QString ParentOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

QString LastElement(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

bool IsBelow(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

const QString kNG = QStringLiteral("NG");

} // namespace

FakeServer::FakeServer()
{
    modPublic::setCommandHandler([this](const QString &, const modPublic::FieldList &fields) { return Answer(fields); });
}

FakeServer::~FakeServer()
{
    modPublic::setCommandHandler(nullptr);
}

void FakeServer::addFolder(const QString &path)
{
    if (path.contains(QLatin1Char('/')))
        addFolder(ParentOf(path));
    if (!m_folders.contains(path))
        m_folders.append(path);
}

void FakeServer::addFile(const QString &folder, const QString &name, const QString &size)
{
    addFolder(folder);
    m_files[folder].append({name, size});
}

QStringList FakeServer::subfolders(const QString &path) const
{
    QStringList names;
    for (const QString &folder : m_folders) {
        if (folder.contains(QLatin1Char('/')) && ParentOf(folder) == path)
            names.append(LastElement(folder));
    }
    return names;
}

QStringList FakeServer::files(const QString &folder) const
{
    QStringList names;
    for (const File &file : m_files.value(folder))
        names.append(file.name);
    return names;
}

QString FakeServer::Answer(const modPublic::FieldList &fields)
{
    if (fields.size() < 3 || fields.at(0).first != QLatin1String("command") || fields.at(1).first != QLatin1String("pass")
        || fields.at(1).second != modPublic::strPassword || fields.at(2).first != QLatin1String("path")) {
        unexpected.append(QStringLiteral("malformed request"));
        return kNG;
    }
    QString request = fields.at(0).second;
    for (qsizetype i = 2; i < fields.size(); ++i)
        request += QLatin1Char(' ') + fields.at(i).first + QLatin1Char('=') + fields.at(i).second;
    requests.append(request);
    if (onRequest)
        onRequest();
    if (m_failing.contains(request))
        return kNG;
    if (m_raw.contains(request))
        return m_raw.value(request);
    return Execute(fields.at(0).second, fields.at(2).second, fields.size() > 3 ? fields.at(3).second : QString());
}

QString FakeServer::Execute(const QString &command, const QString &path, const QString &name)
{
    if (command == QLatin1String("LISTFOLDERS") && hasFolder(path))
        return (QStringList{path} + subfolders(path)).join(QLatin1Char('\n'));
    if (command == QLatin1String("LISTFILES") && hasFolder(path)) {
        QStringList lines{path};
        for (const File &file : m_files.value(path))
            lines.append(file.name + QStringLiteral("\t2008/04/01 12:34:56\t") + file.size);
        return lines.join(QLatin1Char('\n'));
    }
    if (command == QLatin1String("NEWFOLDER") && hasFolder(ParentOf(path)) && !hasFolder(path)) {
        m_folders.append(path);
        return QStringLiteral("New Folder OK\n");
    }
    if (command == QLatin1String("DELETEFOLDER") && hasFolder(path) && path.contains(QLatin1Char('/'))) {
        m_folders.removeIf([&](const QString &folder) { return IsBelow(folder, path); });
        m_files.removeIf([&](auto entry) { return IsBelow(entry.key(), path); });
        return QStringLiteral("Delete Folder OK\n");
    }
    const QString renamed = ParentOf(path) + QLatin1Char('/') + name;
    if (command == QLatin1String("RENAMEFOLDER") && hasFolder(path) && !hasFolder(renamed)) {
        for (QString &folder : m_folders) {
            if (IsBelow(folder, path))
                folder = renamed + folder.mid(path.size());
        }
        QMap<QString, QList<File>> moved;
        for (auto entry = m_files.cbegin(); entry != m_files.cend(); ++entry)
            moved.insert(IsBelow(entry.key(), path) ? renamed + entry.key().mid(path.size()) : entry.key(), entry.value());
        m_files = moved;
        return QStringLiteral("Rename Folder OK\n");
    }
    QList<File> &folderFiles = m_files[ParentOf(path)];
    const auto file = std::find_if(folderFiles.begin(), folderFiles.end(),
        [&](const File &f) { return f.name == LastElement(path); });
    if (command == QLatin1String("DELETEFILE") && file != folderFiles.end()) {
        folderFiles.erase(file);
        return QStringLiteral("Delete File OK\n");
    }
    if (command == QLatin1String("RENAMEFILE") && file != folderFiles.end() && !files(ParentOf(path)).contains(name)) {
        file->name = name;
        return QStringLiteral("Rename File OK\n");
    }
    return kNG;
}

} // namespace testsupport
