#include "Tollimar.h"

#include <string>

int main(int argc, char** argv)
{
    // The installer passes one comma-separated command; words it passes
    // apart are joined with blanks, as one command line.
    std::string commandLine;
    for (int i = 1; i < argc; ++i)
        commandLine += (i > 1 ? " " : "") + std::string(argv[i]);
    return TollimarMain(commandLine);
}
