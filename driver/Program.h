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

/// What the program does with a command file: reads the type line and runs
/// the rest, writing to `out`.
using FileRunner = FileRun (*)(LineReader& file, LineWriter& out);

/// The whole program: `name` appears in the usage text and in messages;
/// `options`, when given, stands in the usage text before commandFile.
int runProgram(int argc, char** argv, const char* name, FileRunner runner, const char* options = "");

/// A command line that cannot be used: "name: message" on standard error,
/// the usage text on standard output, and -1 to return from main.
int usageError(const char* name, const char* options, const std::string& message);

/// Writes "name: text" and a line feed to standard error, in one write where
/// the system allows it. A failure there has nowhere to be reported.
void writeMessage(const char* name, std::string_view text);

}  // namespace orlo
