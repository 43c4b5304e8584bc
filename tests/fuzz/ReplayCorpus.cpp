// Runs the fuzz target once on every input in the given folders, so the
// corpus is replayed as an ordinary test by any compiler, with or without
// libFuzzer. A folder of end-to-end cases (one holding .cmd files) gives
// only its command files; their expected outputs are not inputs.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        bool commandFilesOnly = false;
        for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
            commandFilesOnly = commandFilesOnly || entry.path().extension() == ".cmd";
        }
        for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
            if (!entry.is_regular_file() || (commandFilesOnly && entry.path().extension() != ".cmd")) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            ++replayed;
        }
    }
    std::printf("replayed %zu inputs\n", replayed);
    return replayed > 0 ? 0 : 1;
}
