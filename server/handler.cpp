#include "server/handler.h"

#include "server/multipart.h"
#include "server/names.h"
#include "server/store.h"

#include <array>
#include <optional>

namespace vidodu {
namespace {

// The fields a request may carry; others (a browser's submit button) are ignored.
struct Fields {
    std::optional<std::string_view> command, pass, path, file, name, content, id;
};

std::optional<Fields> CollectFields(const std::vector<FormField> &parts)
{
    Fields f;
    for (const auto &part : parts) {
        std::optional<std::string_view> *slot = nullptr;
        if (part.name == "command")
            slot = &f.command;
        else if (part.name == "pass")
            slot = &f.pass;
        else if (part.name == "path")
            slot = &f.path;
        else if (part.name == "file")
            slot = &f.file;
        else if (part.name == "name")
            slot = &f.name;
        else if (part.name == "content")
            slot = &f.content;
        else if (part.name == "id")
            slot = &f.id;
        if (!slot)
            continue;
        if (*slot)
            return std::nullopt; // a field twice: which one is meant?
        *slot = part.value;
    }
    return f;
}

Reply Refusal()
{
    return { std::string(kRefusal) };
}

Reply Status(bool ok, std::string_view success)
{
    return ok ? Reply { std::string(success) + '\n' } : Refusal();
}

// The sent path as the first line, then one line per item, no LF after the last.
template <typename Items, typename Line> std::string Listing(std::string_view sentPath, const Items &items, Line line)
{
    std::string out(sentPath);
    for (const auto &item : items) {
        const auto text = line(item);
        if (text) {
            out += '\n';
            out += *text;
        }
    }
    return out;
}

// A name from disk as it travels, or nothing for names no request could address.
std::optional<std::string> WireName(const std::string &utf8)
{
    if (!IsRealName(utf8))
        return std::nullopt;
    return Utf8ToCp932(utf8);
}

Reply Save(const Store &store, const Elements &file, std::string_view content, const Precondition &precondition)
{
    auto saved = store.saveFile(file, content, precondition);
    if (saved.outcome == SaveResult::Conflict)
        return { std::string(kRefusal), kPreconditionFailed };
    if (saved.outcome != SaveResult::Stored)
        return Refusal();
    return { "Save OK\n", 200, std::move(saved.tag) };
}

std::optional<std::string> KeptLine(const KeptItem &item)
{
    return item.id + '\t' + FormatModified(item.when) + '\t' + std::to_string(item.size);
}

std::optional<std::string> DeletedLine(const KeptItem &item)
{
    auto name = WireName(item.name);
    if (!name)
        return std::nullopt;
    return item.id + '\t' + (item.folder ? "folder" : "file") + '\t' + *name + '\t' + FormatModified(item.when) + '\t'
        + std::to_string(item.size);
}

// The commands of the history; nothing for other commands.
std::optional<Reply> DispatchHistory(const Store &store, std::string_view command, const Fields &f)
{
    if (command != "LISTVERSIONS" && command != "LISTDELETED" && command != "READVERSION" && command != "RESTORE")
        return std::nullopt;
    const auto path = f.path && store.keepsHistory() ? RemotePath(*f.path) : std::nullopt;
    if (!path)
        return Refusal();
    if (command == "LISTVERSIONS" || command == "LISTDELETED") {
        const bool versions = command == "LISTVERSIONS";
        const auto items = versions ? store.listVersions(*path) : store.listDeleted(*path);
        return items ? Reply { Listing(*f.path, *items, versions ? KeptLine : DeletedLine) } : Refusal();
    }
    if (!f.id)
        return Refusal();
    if (command == "READVERSION") {
        const auto content = store.readVersion(*path, *f.id);
        return content ? Reply { std::string(*f.id) + '\n' + *content } : Refusal();
    }
    // An empty name is no name: the item returns under its own.
    const bool named = f.name && !f.name->empty();
    const auto newName = named ? RemoteName(*f.name) : std::nullopt;
    return Status((!named || newName) && store.restore(*path, *f.id, newName), "Restore OK");
}

Reply Dispatch(const Store &store, std::string_view command, const Fields &f, const Precondition &precondition)
{
    if (auto reply = DispatchHistory(store, command, f))
        return std::move(*reply);
    const auto pathArg = f.path ? RemotePath(*f.path) : std::nullopt;
    const auto fileArg = f.file ? RemotePath(*f.file) : std::nullopt;
    const auto nameArg = f.name ? RemoteName(*f.name) : std::nullopt;

    if (command == "CHECK")
        return { store.keepsHistory() ? "OK\nfeatures: history\n" : "OK\n" };
    if (command == "LISTFOLDERS") {
        const auto folders = pathArg ? store.listFolders(*pathArg) : std::nullopt;
        if (!folders)
            return Refusal();
        return { Listing(*f.path, *folders, WireName) };
    }
    if (command == "LISTFILES") {
        const auto files = pathArg ? store.listFiles(*pathArg) : std::nullopt;
        if (!files)
            return Refusal();
        return { Listing(*f.path, *files, [](const FileEntry &e) -> std::optional<std::string> {
            auto name = WireName(e.name);
            if (!name)
                return std::nullopt;
            return std::move(*name) + '\t' + FormatModified(e.modified) + '\t' + std::to_string(e.size);
        }) };
    }
    if (command == "READFILE") {
        auto opened = fileArg ? store.readFile(*fileArg) : nullptr;
        if (!opened)
            return Refusal();
        Reply reply { std::string(*f.file) + '\n', 200, opened->tag() };
        reply.file = std::move(opened);
        return reply;
    }
    if (command == "SAVEFILE")
        return fileArg && f.content ? Save(store, *fileArg, *f.content, precondition) : Refusal();
    if (command == "NEWFOLDER")
        return Status(pathArg && store.newFolder(*pathArg), "New Folder OK");
    if (command == "DELETEFOLDER")
        return Status(pathArg && store.deleteFolder(*pathArg), "Delete Folder OK");
    if (command == "RENAMEFOLDER")
        return Status(pathArg && nameArg && store.renameFolder(*pathArg, *nameArg), "Rename Folder OK");
    if (command == "DELETEFILE")
        return Status(pathArg && store.deleteFile(*pathArg), "Delete File OK");
    if (command == "RENAMEFILE")
        return Status(pathArg && nameArg && store.renameFile(*pathArg, *nameArg), "Rename File OK");
    return Refusal();
}

} // namespace

std::string FormatModified(std::time_t t)
{
    std::tm local {};
    if (!localtime_r(&t, &local))
        return "0000/00/00 00:00:00";
    std::array<char, 32> text {};
    std::strftime(text.data(), text.size(), "%Y/%m/%d %H:%M:%S", &local);
    return text.data();
}

Reply HandleRequest(const Config &config, const Request &request, const Services &services)
{
    if (!config.valid || request.method != "POST" || request.body.size() > config.maxRequestBytes)
        return Refusal();
    const auto boundary = BoundaryOf(request.contentType);
    const auto parts = boundary ? ParseMultipart(request.body, *boundary) : std::nullopt;
    const auto fields = parts ? CollectFields(*parts) : std::nullopt;
    if (!fields || !fields->command || !fields->pass)
        return Refusal();
    const bool fromThisMachine = FromThisMachine(request.host, request.origin, request.fetchSite);
    if (!Authenticate(config, request.remoteAddress, fromThisMachine, *fields->pass, services.checkPassword,
            services.now(), services.pause, services.knownPassword))
        return Refusal();
    const Store store(config.root, History(config.root, config.history, services.now()));
    return Dispatch(store, *fields->command, *fields, request.precondition);
}

} // namespace vidodu
