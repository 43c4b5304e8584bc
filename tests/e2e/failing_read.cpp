// A preload library for end-to-end tests: read(2) on any descriptor above
// standard error delivers at most ORLO_FAIL_AFTER bytes in all and then fails
// with EIO, the way a failing disk or a vanished network file would.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {
using ReadFn = ssize_t (*)(int, void*, size_t);
size_t delivered = 0;
}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
    static ReadFn real = reinterpret_cast<ReadFn>(dlsym(RTLD_NEXT, "read"));
    const char* limitText = std::getenv("ORLO_FAIL_AFTER");
    if (fd <= STDERR_FILENO || limitText == nullptr) return real(fd, buffer, count);
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
