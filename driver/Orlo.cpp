// Orlo: runs a command file against an ordered multiset, printing each
// command, the value's depth and multiplicity, and at the end every distinct
// value in ascending order.
//
//   Orlo commandFile [--time-measure]
#include "Interpreter.h"
#include "Program.h"

int main(int argc, char** argv) {
    return orlo::runProgram(argc, argv, {"Orlo", "", orlo::Usage::Errors::UsageOnOutput}, orlo::runCommandFile);
}
