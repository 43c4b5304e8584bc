// Orlo's entry: the command line, the command file, the time report and the
// exit status.
//
//   Orlo commandFile [--time-measure]
//
// Exit status: 0 after a run (or a file whose type line names no type), 255
// (-1 from main) for a command line or command file that cannot be used, 1
// when reading the command file or writing standard output failed part-way,
// or memory ran out.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "CpuTime.h"
#include "Format.h"
#include "Interpreter.h"
#include "Io.h"

namespace {

/// Writes a message to standard error; there is nowhere to report a failure.
void writeError(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return;
        done += static_cast<std::size_t>(put);
    }
}

void reportError(const std::string& what, int error) {
    writeError("Orlo: " + what + ": " + std::strerror(error) + "\n");
}

int printUsage(orlo::LineWriter& out) {
    try {
        out.line("\nUsage for Orlo application:\n");
        out.line("\tOrlo commandFile [--time-measure]\n");
    } catch (const orlo::OutputError&) {
        // The status already says the command line was not usable.
    }
    return -1;
}

void reportTime(std::int64_t start) {
    writeError("\n");
    const std::int64_t end = orlo::processorTime();
    std::string report = "Delka behu aplikace: \n\n";
    orlo::appendValue(report, (static_cast<double>(end) - static_cast<double>(start)) / 1000000.0);
    report += '\n';
    writeError(report);
}

int run(int argc, char** argv, std::int64_t start) {
    orlo::FdSink standardOutput(STDOUT_FILENO);
    orlo::LineWriter out(standardOutput);
    if (argc <= 1) return printUsage(out);

    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    if (fd < 0) return printUsage(out);
    orlo::FdSource source(fd);

    bool timeMeasure = false;
    if (argc == 3) {
        if (std::strcmp(argv[2], "--time-measure") != 0) return printUsage(out);
        timeMeasure = true;
    }

    orlo::LineReader file(source);
    int status = 0;
    try {
        // A file that opens but cannot be read (a directory, say) is as
        // unusable as one that does not open.
        if (orlo::runCommandFile(file, out) == orlo::FileRun::Unreadable) return printUsage(out);
        if (file.error() != 0) {
            reportError(std::string("error reading ") + argv[1], file.error());
            status = 1;
        }
    } catch (const orlo::OutputError& e) {
        reportError("error writing standard output", e.error());
        return 1;
    }
    if (timeMeasure) reportTime(start);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // Taken first, so the report covers argument checks and file opening too.
    const std::int64_t start = orlo::processorTime();
    try {
        return run(argc, argv, start);
    } catch (const std::bad_alloc&) {
        writeError("Orlo: out of memory\n");
        return 1;
    }
}
