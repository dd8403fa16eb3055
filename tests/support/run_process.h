// Runs a program as a user would, its output caught: for the tests that drive orv-run.
#pragma once

#include "support/file_io.h"

#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include "base/file_names.h"

#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace orv::test {

struct ProcessResult {
    int status = -1; // the exit status; -1 when it did not exit normally
    std::string out, err;
};

// Where the program's standard output goes: a file that is read back, a full disk, or nowhere.
enum class StandardOutput { Caught, Full, Closed };

#ifdef _WIN32

// One argument of a Windows command line, quoted so that the C runtime's parser gives it back as it was.
inline std::wstring quotedArgument(const std::string& argument) {
    const std::wstring wide = wideName(argument);
    if (!wide.empty() && wide.find_first_of(L" \t\n\v\"") == std::wstring::npos) return wide;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : wide) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// Runs `program` with the arguments in `folder`, standard output and error into files there. Windows
// has no full device or closed stream to give it: only Caught.
inline ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                                const std::filesystem::path& folder) {
    const std::filesystem::path outPath = folder / "process.out", errPath = folder / "process.err";
    std::wstring line = quotedArgument(program);
    for (const std::string& argument : arguments) line += L" " + quotedArgument(argument);
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    const HANDLE err = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    ProcessResult result;
    const bool started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                         CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.c_str(), &startup, &process);
    for (const HANDLE handle : {out, err})
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    if (!started) return result;
    DWORD status = 0;
    WaitForSingleObject(process.hProcess, INFINITE);
    if (GetExitCodeProcess(process.hProcess, &status)) result.status = static_cast<int>(status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    result.out = readText(outPath);
    result.err = readText(errPath);
    return result;
}

#else

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

#endif

} // namespace orv::test
