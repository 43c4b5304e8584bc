// A preload library for end-to-end tests: read(2) on the file named by
// ORLO_FAIL_FILE delivers at most ORLO_FAIL_AFTER bytes in all and then fails
// with EIO, the way a failing disk or a vanished network file would. Reads
// of any other file (a tool wrapping the program reads its own) pass through.
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
using ReadFn = ssize_t (*)(int, void*, size_t);
size_t delivered = 0;

bool isTheFile(int fd, const char* path) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n < 0) return false;
    target[n] = '\0';
    return std::strcmp(target, path) == 0;
}
}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
    static ReadFn real = reinterpret_cast<ReadFn>(dlsym(RTLD_NEXT, "read"));
    const char* limitText = std::getenv("ORLO_FAIL_AFTER");
    const char* path = std::getenv("ORLO_FAIL_FILE");
    if (limitText == nullptr || path == nullptr || fd <= STDERR_FILENO || !isTheFile(fd, path)) {
        return real(fd, buffer, count);
    }
    const size_t limit = std::strtoul(limitText, nullptr, 10);
    if (delivered >= limit) {
        errno = EIO;
        return -1;
    }
    if (count > limit - delivered) count = limit - delivered;
    const ssize_t got = real(fd, buffer, count);
    if (got > 0) delivered += static_cast<size_t>(got);
    return got;
}
