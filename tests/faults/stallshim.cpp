// Preloaded into vidodu.cgi by the fault tests to stop a save half-way, at a point a test can
// wait for: while the file named STALL_DIR/stall exists, the first write of more than one byte
// to a regular file writes half of its bytes, records the process id in STALL_DIR/pid and
// then waits until the process is killed. Without that file it changes nothing.

#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using WriteFunction = ssize_t (*)(int, const void *, size_t);

WriteFunction RealWrite()
{
    static const auto real = reinterpret_cast<WriteFunction>(dlsym(RTLD_NEXT, "write"));
    return real;
}

bool StallRequested(std::string &dir)
{
    const char *value = getenv("STALL_DIR");
    if (!value || !*value)
        return false;
    dir = value;
    struct stat st { };
    return ::stat((dir + "/stall").c_str(), &st) == 0;
}

void RecordPid(const std::string &dir)
{
    const std::string text = std::to_string(getpid()) + "\n";
    const std::string partial = dir + "/pid.part";
    const int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    RealWrite()(fd, text.data(), text.size());
    ::close(fd);
    ::rename(partial.c_str(), (dir + "/pid").c_str()); // the test sees the whole number or none
}

} // namespace

extern "C" ssize_t write(int fd, const void *buffer, size_t count)
{
    static bool stalled = false;
    struct stat st { };
    std::string dir;
    if (!stalled && count > 1 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && StallRequested(dir)) {
        stalled = true;
        RealWrite()(fd, buffer, count / 2);
        ::fsync(fd);
        RecordPid(dir);
        for (;;)
            ::pause();
    }
    return RealWrite()(fd, buffer, count);
}
