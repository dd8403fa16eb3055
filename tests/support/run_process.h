// Runs a program as a user would, its output caught: for the tests that drive orv-run.
#pragma once

#include "support/file_io.h"

#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orv::test {

struct ProcessResult {
    int status = -1; // the exit status; -1 when it did not exit normally
    std::string out, err;
};

// Where the program's standard output goes: a file that is read back, a full disk, or nowhere.
enum class StandardOutput { Caught, Full, Closed };

// Runs `program` with the arguments in `folder`, standard output and error into files there.
inline ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                                const std::filesystem::path& folder,
                                StandardOutput output = StandardOutput::Caught) {
    const std::filesystem::path outPath = folder / "process.out", errPath = folder / "process.err";
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ProcessResult result;
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0) _exit(127);
        const int out = output == StandardOutput::Full
                            ? open("/dev/full", O_WRONLY)
                            : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
        if (output == StandardOutput::Closed) close(1);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int wstatus = 0;
    if (child < 0 || waitpid(child, &wstatus, 0) != child) return result;
    if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
    result.out = readText(outPath);
    result.err = readText(errPath);
    return result;
}

} // namespace orv::test
