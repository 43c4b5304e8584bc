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

void writeError(std::string_view text) { writeAll(STDERR_FILENO, text); }

void printUsage(LineWriter& out, const Usage& usage) {
    out.line("\nUsage for ", usage.name, " application:\n");
    out.line("\t", usage.name, " ", usage.options, "commandFile [--time-measure]\n");
}

void reportTime(std::int64_t start) {
    writeError("\n");
    const std::int64_t end = processorTime();
    std::string report = "Delka behu aplikace: \n\n";
    appendValue(report, (static_cast<double>(end) - static_cast<double>(start)) / 1000000.0);
    report += '\n';
    writeError(report);
}

int run(int argc, char** argv, const Usage& usage, FileRunner runner, std::int64_t start) {
    FdSink standardOutput(STDOUT_FILENO);
    LineWriter out(standardOutput);
    const auto complain = [&](const std::string& what, int error) {
        writeMessage(usage.name, what + ": " + std::strerror(error));
    };
    if (argc <= 1) return usageError(usage, "no command file given");

    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return usageError(usage, std::string("cannot open ") + argv[1] + ": " + std::strerror(error));
    }
    FdSource source(fd);

    bool timeMeasure = false;
    if (argc == 3) {
        if (std::strcmp(argv[2], "--time-measure") != 0) {
            return usageError(usage,
                              std::string("only --time-measure may follow the command file, not '") + argv[2] + "'");
        }
        timeMeasure = true;
    }

    LineReader file(source);
    int status = 0;
    try {
        // A file that opens but cannot be read (a directory, say) is as
        // unusable as one that does not open.
        if (runner(file, out) == FileRun::Unreadable) {
            if (file.error() == EISDIR) return usageError(usage, std::string(argv[1]) + " is a directory");
            return usageError(usage, std::string("cannot read ") + argv[1] + ": " + std::strerror(file.error()));
        }
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

int usageError(const Usage& usage, const std::string& why) {
    if (usage.errors == Usage::Errors::ExplainedOnError) {
        StringSink text;
        LineWriter lines(text);
        printUsage(lines, usage);
        writeError(std::string(usage.name) + ": " + why + "\n" + text.text);
        return -1;
    }
    FdSink standardOutput(STDOUT_FILENO);
    LineWriter out(standardOutput);
    try {
        printUsage(out, usage);
    } catch (const OutputError&) {
        // The status already says the command line was not usable.
    }
    return -1;
}

void writeMessage(const char* name, std::string_view text) {
    std::string line(name);
    line += ": ";
    line += text;
    line += '\n';
    writeError(line);
}

int runProgram(int argc, char** argv, const Usage& usage, FileRunner runner) {
    // Taken first, so the report covers argument checks and file opening too.
    const std::int64_t start = processorTime();
    try {
        return run(argc, argv, usage, runner, start);
    } catch (const std::bad_alloc&) {
        writeMessage(usage.name, "out of memory");
        return 1;
    } catch (const std::length_error& e) {
        // A value about to be held more than INT_MAX times: the set refused
        // it and is unchanged, but the run cannot go on as written.
        writeMessage(usage.name, e.what());
        return 1;
    }
}

}  // namespace orlo
