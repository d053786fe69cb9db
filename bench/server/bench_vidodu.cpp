// Timings of vidodu.cgi's handler: LISTFILES over a folder of 10,000 files against a bare
// readdir + fstatat of the same folder and against the 50 ms target, and one argon2id
// password verification at the parameters --hash-password uses (target near 10 ms).
//   bench_vidodu [FILES, default 10000]

#include "server/auth.h"
#include "server/handler.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The median of `runs` timings in milliseconds.
double MedianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string Body(const std::string &boundary, const std::vector<std::pair<std::string, std::string>> &fields)
{
    std::string body;
    for (const auto &[name, value] : fields)
        body += "--" + boundary + "\r\nContent-Disposition:form-data;name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
    return body + "--" + boundary + "--";
}

std::size_t BareListing(const std::string &folder)
{
    DIR *d = opendir(folder.c_str());
    std::size_t bytes = 0;
    while (const dirent *e = readdir(d)) {
        struct stat st { };
        if (e->d_name[0] != '.' && fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
            bytes += static_cast<std::size_t>(st.st_size);
    }
    closedir(d);
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    char pattern[] = "/tmp/bench_vidodu.XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string root = pattern;
    std::filesystem::create_directories(root + "/data/big");
    for (int i = 0; i < files; ++i) {
        // Japanese names, as a real folder would hold: "文書NNNNN.txt".
        const std::string name = root + "/data/big/\xe6\x96\x87\xe6\x9b\xb8" + std::to_string(10000 + i) + ".txt";
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT, 0644);
        if (fd < 0 || write(fd, "content\r\n", 9) != 9)
            return 1;
        close(fd);
    }

    vidodu::Config config;
    config.valid = true;
    config.root = root;
    config.emptyPasswordFrom = { "127.0.0.1" };
    vidodu::Request request;
    request.method = "POST";
    request.contentType = "multipart/form-data; boundary====261205074201===Ab3dE5fG7hJ9kL1--------------------";
    request.remoteAddress = "127.0.0.1";
    request.body = Body("===261205074201===Ab3dE5fG7hJ9kL1--------------------",
        { { "command", "LISTFILES" }, { "pass", "" }, { "path", "data/big" } });
    std::size_t lines = 0;
    const double handler = MedianMs(15, [&] {
        const std::string reply = vidodu::HandleRequest(config, request).body;
        lines = static_cast<std::size_t>(std::count(reply.begin(), reply.end(), '\n'));
    });
    volatile std::size_t sink = 0;
    const double bare = MedianMs(15, [&] { sink = BareListing(root + "/data/big"); });
    std::printf("LISTFILES of %d files: %zu lines, %.2f ms (bare readdir+fstatat %.2f ms, ratio %.2f; "
                "target 50 ms, ratio %.2f)\n",
        files, lines, handler, bare, handler / bare, handler / 50.0);

    const auto hash = vidodu::HashPassword("correct horse");
    if (!hash)
        return 1;
    const double verify = MedianMs(21, [&] { sink = vidodu::VerifyPassword(*hash, "correct horse"); });
    std::printf("argon2id verification (t=%llu, m=%zu KiB): %.2f ms (target 10 ms, ratio %.2f)\n",
        vidodu::kHashOpsLimit, vidodu::kHashMemLimit / 1024, verify, verify / 10.0);
    std::filesystem::remove_all(root);
    return 0;
}
