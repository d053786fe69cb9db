#pragma once

// An in-memory document tree that answers the file browser's commands as the server script
// would, in place of the request cycle. Every request is recorded as "COMMAND name=value ...";
// requests can be made to fail, or answered with a reply no correct server sends.

#include "protocol/modPublic.h"

#include <QHash>
#include <QMap>
#include <QStringList>
#include <functional>

namespace testsupport {

class FakeServer {
public:
    FakeServer();    // takes the place of the request cycle
    ~FakeServer();   // gives it back

    void addFolder(const QString &path);   // with every missing folder above it
    void addFile(const QString &folder, const QString &name, const QString &size = QStringLiteral("10"));
    // The request recorded as `request` answers "NG" from now on.
    void failOn(const QString &request) { m_failing.append(request); }
    // The request recorded as `request` answers `reply` as it stands.
    void replyOn(const QString &request, const QString &reply) { m_raw.insert(request, reply); }

    QStringList subfolders(const QString &path) const;
    QStringList files(const QString &folder) const;
    bool hasFolder(const QString &path) const { return m_folders.contains(path); }

    QStringList requests;
    QStringList unexpected;             // malformed requests
    std::function<void()> onRequest;    // called as each request arrives

private:
    struct File {
        QString name;
        QString size;
    };
    QString Answer(const modPublic::FieldList &fields);
    QString Execute(const QString &command, const QString &path, const QString &name);

    QStringList m_folders{QStringLiteral("data")};   // in order of creation
    QMap<QString, QList<File>> m_files;              // by folder path
    QStringList m_failing;
    QHash<QString, QString> m_raw;
};

} // namespace testsupport
