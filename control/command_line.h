// The command line: `orv [OPTION]... [FILE]`, read before any window exists, so that --help, --version
// and a mistake are answered without a display.
#pragma once

#include "objfile/file_kind.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace orv {

// orv's exit status when no window can be shown: the display cannot be opened, or went away.
constexpr int NO_DISPLAY = 1;

struct StartRequest {
    QString file; // empty: none
    ProgramFileKind kind = ProgramFileKind::Unknown;
    std::optional<std::uint16_t> at;  // where a binary goes
    std::optional<std::uint16_t> run; // where the machine starts once the file is in
    QString labels;                   // a label file for the debugger
};

struct CommandLine {
    bool start = false; // open the window; otherwise print and exit with exitStatus
    int exitStatus = 0;
    QString output; // for standard output: the help or the version
    QString error;  // one line for standard error
    StartRequest request;
};

// The arguments after the program's name.
CommandLine parseCommandLine(const QStringList& arguments);

// A file name's bytes as text and back again unchanged: bytes that are not UTF-8 are kept as the lone
// surrogates U+DC80 to U+DCFF, so that a name the locale cannot spell still names its file.
QString nameText(const QByteArray& bytes);
QByteArray nameBytes(const QString& text);
// The program's arguments after its name, each as nameText makes it.
QStringList argumentsOf(int argc, const char* const* argv);

// 1 to 4 hex digits, with or without a leading "$" or "0x".
std::optional<std::uint16_t> parseHexAddress(const QString& text);

} // namespace orv
