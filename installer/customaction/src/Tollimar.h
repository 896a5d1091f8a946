#pragma once

#include <string>
#include <vector>

// The command line split at commas; runs of commas count as one, so no
// token is empty.
std::vector<std::string> splitCommandTokens(const std::string& commandLine);

// Runs "-install[,TRUE]", "-uninstall" or "-checkUsb30" (the first token,
// any case); any other command, or none, is logged and answered with the
// usage line. Always returns 0: the installer does not look at the result,
// the log tells what happened.
int TollimarMain(const std::string& commandLine);
