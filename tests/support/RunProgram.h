#pragma once
// Runs one of the project's programs as a person would, for tests of the command-line tools.

#include <string>
#include <vector>

// Runs args[0] with the test's environment, standard input from /dev/null and standard output and
// error into the given files (an empty name keeps the test's own). Waits for it; the exit code, or
// -1 when it could not start or did not exit normally.
int RunProgram(std::vector<std::string> args, const std::string& outFile, const std::string& errFile = "");
