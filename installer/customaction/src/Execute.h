#pragma once

#include <string>
#include <vector>

// How long a started tool may run before it is stopped.
constexpr int kToolTimeoutMs = 120000;

// Starts the application with the command line (its first word is the
// program's own name) and waits for it. A hidden tool's output is discarded;
// a shown one writes to this program's terminal. A tool still running after
// the time-out is stopped. True when the tool ran and ended with exit code 0.
bool Execute(const std::string& application, const std::string& commandLine, bool hide,
             int timeoutMs = kToolTimeoutMs);

// Splits a command line into words at blanks; double quotes group a word
// that holds blanks and are dropped.
std::vector<std::string> splitCommandLine(const std::string& commandLine);
