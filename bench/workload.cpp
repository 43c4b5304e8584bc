// Writes a benchmark command file to standard output. The same kind, size
// and seed always give the same bytes, on every platform.
//
//   orlo-workload random [commands]   INT, 70% ADD of random 31-bit values,
//                                     30% DEL of a value currently held
//   orlo-workload deep [values]       ADD 0..n-1 ascending, then DEL n-1..0
//   orlo-workload string [commands]   the random mix over short words
//   orlo-workload double [commands]   the random mix over decimal numbers
//   orlo-workload dup [commands]      INT over 1,000 distinct values
//   orlo-workload stuck [commands]    an unreadable number early, then ADDs
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// splitmix64: tiny, fast, and the same everywhere (unlike the standard
// library's distributions).
struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    std::uint64_t below(std::uint64_t n) { return next() % n; }
};

using MakeValue = std::string (*)(Random&);

std::string intValue(Random& r) { return std::to_string(r.next() & 0x7fffffff); }

std::string wordValue(Random& r) {
    std::string word(4 + r.below(9), ' ');
    for (char& c : word) c = static_cast<char>('a' + r.below(26));
    return word;
}

std::string doubleValue(Random& r) {
    char text[48];
    const double magnitude = static_cast<double>(r.below(2000000000)) / 1000.0 - 1000000.0;
    std::snprintf(text, sizeof text, "%.*f", static_cast<int>(r.below(7)), magnitude);
    return text;
}

// 70% ADD of a new random value, 30% DEL of one currently held.
void mix(const char* type, long commands, MakeValue make, Random& r) {
    std::printf("%s\n", type);
    std::vector<std::string> held;
    for (long i = 0; i < commands; ++i) {
        if (held.empty() || r.below(10) < 7) {
            held.push_back(make(r));
            std::printf("ADD %s\n", held.back().c_str());
        } else {
            const std::size_t k = r.below(held.size());
            std::printf("DEL %s\n", held[k].c_str());
            held[k] = std::move(held.back());
            held.pop_back();
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: orlo-workload random|deep|string|double|dup|stuck [count]\n");
        return 2;
    }
    const std::string kind = argv[1];
    const long count = argc > 2 ? std::atol(argv[2]) : 0;
    Random r{20261207};
    if (kind == "random") {
        mix("INT", count ? count : 1000000, intValue, r);
    } else if (kind == "string") {
        mix("STRING", count ? count : 500000, wordValue, r);
    } else if (kind == "double") {
        mix("DOUBLE", count ? count : 500000, doubleValue, r);
    } else if (kind == "deep") {
        const long n = count ? count : 20000;
        std::printf("INT\n");
        for (long i = 0; i < n; ++i) std::printf("ADD %ld\n", i);
        for (long i = n - 1; i >= 0; --i) std::printf("DEL %ld\n", i);
    } else if (kind == "dup") {
        std::printf("INT\n");
        for (long i = 0, n = count ? count : 2000000; i < n; ++i) {
            std::printf("%s %d\n", r.below(10) < 6 ? "ADD" : "DEL", static_cast<int>(r.below(1000)));
        }
    } else if (kind == "stuck") {
        std::printf("INT\nADD 1\nADD x1\n");
        for (long i = 0, n = count ? count : 2000000; i < n; ++i) std::printf("ADD %d\n", static_cast<int>(r.below(1000000)));
    } else {
        std::fprintf(stderr, "orlo-workload: unknown kind '%s'\n", kind.c_str());
        return 2;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
