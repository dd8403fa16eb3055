// orv-run: the board without a window, for scripts and tests.
#include "runner/options.h"
#include "runner/run.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const orv::RunCommandLine line = orv::parseRunCommandLine(arguments);
    std::string out = line.output;
    std::string err = line.error;
    int status = line.exitStatus;
    if (line.run) status = orv::runBoard(line.options, out, err);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    std::fwrite(err.data(), 1, err.size(), stderr);
    return status;
}
