// orv-run: the board without a window, for scripts and tests.
#include "base/file_names.h"
#include "base/text_format.h"
#include "runner/options.h"
#include "runner/run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int run(const std::vector<std::string>& arguments) {
    const orv::RunCommandLine line = orv::parseRunCommandLine(arguments);
    std::string out = line.output;
    std::string err = line.error;
    int status = line.exitStatus;
    if (line.run) status = orv::runBoard(line.options, out, err);
    // A report lost to a full disk or a closed stream fails the run, whatever the run itself said.
    errno = 0;
    const bool written = std::fwrite(out.data(), 1, out.size(), stdout) == out.size() &&
                         std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (!written) {
        err += orv::runMessage(
            orv::formatText("standard output could not be written (%s)", std::strerror(errno)));
        status = orv::RUN_BAD_USAGE;
    }
    std::fwrite(err.data(), 1, err.size(), stderr);
    return status;
}

} // namespace

#ifdef _WIN32
// The arguments as Windows has them, in UTF-16, made UTF-8 like every name inside: the narrow ones are in
// the console's code page, which may not hold the name at all.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(orv::utf8Name(argv[i]));
    return run(arguments);
}
#else
int main(int argc, char** argv) {
    return run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
