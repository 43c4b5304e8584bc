// The program around the command interpreter; see Program.h.
#include "Program.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "CpuTime.h"
#include "Format.h"

namespace orlo {

namespace {

void writeError(const std::string& text) { writeAll(STDERR_FILENO, text); }

int printUsage(LineWriter& out, const std::string& name, const char* options) {
    try {
        out.line("\nUsage for ", name, " application:\n");
        out.line("\t", name, " ", options, "commandFile [--time-measure]\n");
    } catch (const OutputError&) {
        // The status already says the command line was not usable.
    }
    return -1;
}

void reportTime(std::int64_t start) {
    writeError("\n");
    const std::int64_t end = processorTime();
    std::string report = "Delka behu aplikace: \n\n";
    appendValue(report, (static_cast<double>(end) - static_cast<double>(start)) / 1000000.0);
    report += '\n';
    writeError(report);
}

int run(int argc, char** argv, const std::string& name, FileRunner runner, std::int64_t start, const char* options) {
    FdSink standardOutput(STDOUT_FILENO);
    LineWriter out(standardOutput);
    const auto complain = [&](const std::string& what, int error) {
        writeError(name + ": " + what + ": " + std::strerror(error) + "\n");
    };
    if (argc <= 1) return printUsage(out, name, options);

    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    if (fd < 0) return printUsage(out, name, options);
    FdSource source(fd);

    bool timeMeasure = false;
    if (argc == 3) {
        if (std::strcmp(argv[2], "--time-measure") != 0) return printUsage(out, name, options);
        timeMeasure = true;
    }

    LineReader file(source);
    int status = 0;
    try {
        // A file that opens but cannot be read (a directory, say) is as
        // unusable as one that does not open.
        if (runner(file, out) == FileRun::Unreadable) return printUsage(out, name, options);
        if (file.error() != 0) {
            complain(std::string("error reading ") + argv[1], file.error());
            status = 1;
        }
    } catch (const OutputError& e) {
        complain("error writing standard output", e.error());
        return 1;
    }
    if (timeMeasure) reportTime(start);
    return status;
}

}  // namespace

int usageError(const char* name, const char* options, const std::string& message) {
    writeError(std::string(name) + ": " + message + "\n");
    FdSink standardOutput(STDOUT_FILENO);
    LineWriter out(standardOutput);
    return printUsage(out, name, options);
}

int runProgram(int argc, char** argv, const char* name, FileRunner runner, const char* options) {
    // Taken first, so the report covers argument checks and file opening too.
    const std::int64_t start = processorTime();
    try {
        return run(argc, argv, name, runner, start, options);
    } catch (const std::bad_alloc&) {
        writeError(std::string(name) + ": out of memory\n");
        return 1;
    } catch (const std::length_error& e) {
        // A value about to be held more than INT_MAX times: the set refused
        // it and is unchanged, but the run cannot go on as written.
        writeError(std::string(name) + ": " + e.what() + "\n");
        return 1;
    }
}

}  // namespace orlo
