// The program around the command interpreter, shared by Orlo and orlo-dot:
// argument checks, opening and reading the command file, error messages, the
// time report and the exit status.
//
//   NAME commandFile [--time-measure]
//
// Exit status: 0 after a run (or a file whose type line names no type), 255
// (-1 from main) for a command line or command file that cannot be used, 1
// when reading the command file or writing standard output failed part-way,
// memory ran out, or a value would occur more than INT_MAX times.
#pragma once

#include <string>
#include <string_view>

#include "Interpreter.h"
#include "Io.h"

namespace orlo {

/// What a program does with a command file: reads the type line and runs
/// the rest, writing to `out`.
using FileRunner = FileRun (*)(LineReader& file, LineWriter& out);

/// A program's command line, as its usage text shows it and as the program
/// answers one that cannot be used.
struct Usage {
    /// Appears in the usage text and in messages.
    const char* name;
    /// Stands in the usage text before commandFile.
    const char* options;
    /// Orlo answers with the usage text alone, on standard output, as it
    /// always has. A program whose output is kept (a drawing, a page) says
    /// why on standard error and puts the usage text there too, so nothing
    /// lands where the output was going.
    enum class Errors { UsageOnOutput, ExplainedOnError } errors;
};

/// The whole program.
int runProgram(int argc, char** argv, const Usage& usage, FileRunner runner);

/// A command line that cannot be used, for the reason `why`: answers as
/// `usage.errors` says and returns -1 to return from main.
int usageError(const Usage& usage, const std::string& why);

/// Writes "name: text" and a line feed to standard error, in one write where
/// the system allows it. A failure there has nowhere to be reported.
void writeMessage(const char* name, std::string_view text);

}  // namespace orlo
