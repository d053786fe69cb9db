// libFuzzer target: vidodu.cgi's whole handling of a request (server/handler.h) on a real
// folder tree, with the empty password allowed from 127.0.0.1.
// Input: the fields command, path, file, name and content, separated by the byte FF (never
// part of code page 932 text); fields past the input's end are left out. Framed as the editor
// frames them. Built and run by fuzz/run.sh.
//
// Whatever the request: the reply is "NG" or the command's success form; nothing outside
// root changes, nor links inside it lead out; what a save answers OK reads back whole; no
// save leaves a temporary file behind.

#include "server/handler.h"
#include "server/names.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

constexpr std::string_view kBoundary = "===261205074201===FuzzBoundary0--------------------";
constexpr std::array<std::string_view, 5> kFieldNames = { "command", "path", "file", "name", "content" };

struct World {
    fs::path top, root, outside;
    vidodu::Config config;
    int requests = 0;
};

std::string ReadWhole(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void Populate(World &w)
{
    fs::create_directories(w.root / "data" / "手紙");
    std::ofstream(w.root / "data" / "memo.txt") << "memo\r\n";
    std::error_code ec;
    fs::create_directory_symlink(w.outside, w.root / "data" / "link", ec);
    fs::create_symlink(w.outside / "secret.txt", w.root / "data" / "secret.txt", ec);
}

World &TheWorld()
{
    static World w = [] {
        World n;
        std::string pattern = (fs::temp_directory_path() / "fuzz-vidodu-XXXXXX").string();
        Require(::mkdtemp(pattern.data()) != nullptr);
        n.top = pattern;
        n.root = n.top / "root";
        n.outside = n.top / "outside";
        fs::create_directories(n.outside);
        std::ofstream(n.outside / "secret.txt") << "secret";
        Populate(n);
        n.config.valid = true;
        n.config.root = n.root.string();
        n.config.emptyPasswordFrom = { "127.0.0.1" };
        std::atexit([] { fs::remove_all(TheWorld().top); });
        return n;
    }();
    return w;
}

std::vector<std::string_view> SplitFields(std::string_view input)
{
    std::vector<std::string_view> fields;
    while (fields.size() < kFieldNames.size()) {
        const auto cut = input.find('\xff');
        fields.push_back(input.substr(0, cut));
        if (cut == std::string_view::npos)
            break;
        input.remove_prefix(cut + 1);
    }
    return fields;
}

std::string Body(const std::vector<std::pair<std::string_view, std::string_view>> &fields)
{
    std::string body;
    for (const auto &[name, value] : fields) {
        body += "--" + std::string(kBoundary) + "\r\nContent-Disposition:form-data;name=\"" + std::string(name)
            + "\"\r\n\r\n" + std::string(value) + "\r\n";
    }
    return body + "--" + std::string(kBoundary) + "--";
}

std::string Ask(const World &w, const std::vector<std::pair<std::string_view, std::string_view>> &fields)
{
    vidodu::Request request;
    request.method = "POST";
    request.contentType = "multipart/form-data; boundary=" + std::string(kBoundary);
    request.remoteAddress = "127.0.0.1";
    request.body = Body(fields);
    return vidodu::HandleRequest(w.config, request).body;
}

bool StartsWith(std::string_view text, std::string_view head)
{
    return text.substr(0, head.size()) == head;
}

// "NG", or what the command answers when it succeeds.
bool WellFormed(std::string_view command, const std::vector<std::string_view> &f, const std::string &reply)
{
    if (reply == "NG")
        return true;
    if (command == "CHECK")
        return reply == "OK\nfeatures: history\n";
    if (command == "LISTFOLDERS" || command == "LISTFILES" || command == "LISTVERSIONS" || command == "LISTDELETED")
        return f.size() > 1 && StartsWith(reply, f[1]) && (reply.size() == f[1].size() || reply[f[1].size()] == '\n');
    if (command == "READFILE")
        return f.size() > 2 && StartsWith(reply, std::string(f[2]) + '\n');
    static const std::pair<std::string_view, std::string_view> kStatus[] = {
        { "SAVEFILE", "Save OK\n" },
        { "NEWFOLDER", "New Folder OK\n" },
        { "DELETEFOLDER", "Delete Folder OK\n" },
        { "RENAMEFOLDER", "Rename Folder OK\n" },
        { "DELETEFILE", "Delete File OK\n" },
        { "RENAMEFILE", "Rename File OK\n" },
    };
    for (const auto &[word, success] : kStatus) {
        if (command == word)
            return reply == success;
    }
    return false;
}

void CheckNothingEscaped(const World &w)
{
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(w.outside))
        names.push_back(e.path().filename().string());
    Require(names == std::vector<std::string> { "secret.txt" });
    Require(ReadWhole(w.outside / "secret.txt") == "secret");
    for (const auto &e : fs::directory_iterator(w.root)) {
        const std::string name = e.path().filename().string();
        Require(name == "data" || name == "history" || name == ".vidodu-throttle");
    }
}

void CheckNoLeftovers(const fs::path &folder)
{
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(folder, ec))
        Require(!StartsWith(e.path().filename().string(), ".vidodu-save-"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    World &w = TheWorld();
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const auto f = SplitFields(input);
    for (const auto value : f) {
        if (value.find(kBoundary) != std::string_view::npos)
            return 0;
    }
    std::vector<std::pair<std::string_view, std::string_view>> fields = { { "command", f[0] }, { "pass", "" } };
    for (std::size_t i = 1; i < f.size(); ++i)
        fields.emplace_back(kFieldNames[i], f[i]);

    const std::string reply = Ask(w, fields);
    Require(WellFormed(f[0], f, reply));
    CheckNothingEscaped(w);

    if (f[0] == "SAVEFILE" && reply != "NG") {
        const std::string back = Ask(w, { { "command", "READFILE" }, { "pass", "" }, { "file", f[2] } });
        Require(back == std::string(f[2]) + '\n' + std::string(f.size() > 4 ? f[4] : std::string_view()));
        const auto path = vidodu::RemotePath(f[2]);
        Require(path.has_value());
        fs::path folder = w.root;
        for (std::size_t i = 0; i + 1 < path->size(); ++i)
            folder /= (*path)[i];
        CheckNoLeftovers(folder);
    }

    // Keep the tree small: start again from the first state now and then.
    if (++w.requests % 5000 == 0) {
        fs::remove_all(w.root / "data");
        fs::remove_all(w.root / "history");
        Populate(w);
    }
    return 0;
}
