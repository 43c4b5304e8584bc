// The I/O floor: the least any Orlo can spend on a workload. It reads the
// whole command file and writes a given output with one write(2) per line,
// as Orlo must, and does nothing else.
//
//   orlo-io-floor commandFile expectedOutput
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::vector<char> slurp(const char* path) {
    std::vector<char> data;
    const int fd = ::open(path, O_RDONLY);
    if (fd < 0) return data;
    char chunk[1 << 16];
    for (ssize_t got; (got = ::read(fd, chunk, sizeof chunk)) > 0;) data.insert(data.end(), chunk, chunk + got);
    ::close(fd);
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: orlo-io-floor commandFile expectedOutput\n");
        return 2;
    }
    // The command file is read in pieces the way Orlo reads it; only the
    // expected output is held whole, so the floor's memory is not the test.
    const int fd = ::open(argv[1], O_RDONLY);
    if (fd < 0) return 1;
    static char chunk[1 << 16];
    while (::read(fd, chunk, sizeof chunk) > 0) {
    }
    ::close(fd);
    const std::vector<char> out = slurp(argv[2]);
    const char* p = out.data();
    const char* end = p + out.size();
    while (p < end) {
        const char* feed = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* stop = feed ? feed + 1 : end;
        if (::write(STDOUT_FILENO, p, static_cast<std::size_t>(stop - p)) < 0) return 1;
        p = stop;
    }
    return 0;
}
