#include "control/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>

#ifndef ORV_VERSION
#define ORV_VERSION "unknown"
#endif

namespace orv {

namespace {

constexpr int BAD_ARGUMENTS = 2;

const char* const HELP_TEXT =
    "Usage: orv [OPTION]... [FILE]\n"
    "Emulates a small 6502 single-board computer with its keypad, LED display and cassette tape.\n"
    "\n"
    "FILE is loaded as File > Load does: an object file (.obj, .hex, .ihx) in Intel HEX, a binary\n"
    "image (.bin, needs --at), or a tape (.mid), which starts playing for the monitor's \"l\".\n"
    "\n"
    "  --at ADDR        load the binary FILE at ADDR\n"
    "  --run ADDR       start the machine at ADDR once FILE is loaded\n"
    "  --labels FILE    read the debugger's labels from FILE (ld65 -Ln or VICE format)\n"
    "  -h, --help       show this help and exit\n"
    "      --version    show the version and exit\n"
    "\n"
    "ADDR is 1 to 4 hex digits, with or without a leading $ or 0x.\n"
    "Exit status: 0 when the window was closed, 2 for a mistake on the command line.\n"
    "Exit status 1: no display to show the window on, or the display went away.\n"
    "Example: ld65 -C prog.cfg -o prog.bin prog.o && orv prog.bin --at 0200 --run 0200\n";

CommandLine mistake(const QString& what) {
    CommandLine line;
    line.exitStatus = BAD_ARGUMENTS;
    line.error = "orv: " + what;
    return line;
}

} // namespace

std::optional<std::uint16_t> parseHexAddress(const QString& text) {
    QString digits = text;
    if (digits.startsWith('$'))
        digits.remove(0, 1);
    else if (digits.startsWith("0x", Qt::CaseInsensitive))
        digits.remove(0, 2);
    if (digits.isEmpty() || digits.size() > 4) return std::nullopt;
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    // toUInt takes a sign and blanks; an address is digits only.
    for (const QChar c : digits)
        if (!isxdigit(c.toLatin1())) ok = false;
    if (!ok) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption version("version");
    const QCommandLineOption at("at", "", "ADDR");
    const QCommandLineOption run("run", "", "ADDR");
    const QCommandLineOption labels("labels", "", "FILE");
    parser.addOptions({help, version, at, run, labels});
    if (!parser.parse(QStringList("orv") + arguments)) return mistake(parser.errorText());

    CommandLine line;
    if (parser.isSet(help)) {
        line.output = HELP_TEXT;
        return line;
    }
    if (parser.isSet(version)) {
        line.output = QString("orv %1\n").arg(ORV_VERSION);
        return line;
    }
    for (const QCommandLineOption* option : {&at, &run, &labels}) {
        if (parser.values(*option).size() > 1)
            return mistake(QString("--%1 may be given once").arg(option->names().first()));
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) return mistake("one FILE at most, not " + QString::number(files.size()));

    StartRequest& request = line.request;
    for (const auto& [option, address] : {std::pair{&at, &request.at}, std::pair{&run, &request.run}}) {
        if (!parser.isSet(*option)) continue;
        *address = parseHexAddress(parser.value(*option));
        if (!*address)
            return mistake(QString("bad address for --%1: '%2' (1 to 4 hex digits)")
                               .arg(option->names().first(), parser.value(*option)));
    }
    request.labels = parser.value(labels);
    if (!files.isEmpty()) {
        request.file = files.first();
        request.kind = programFileKind(request.file.toStdString());
        if (request.kind == ProgramFileKind::Unknown)
            return mistake("unknown kind of file '" + request.file + "' (" + QString(PROGRAM_FILE_ENDINGS) +
                           ")");
    }
    if (request.kind == ProgramFileKind::Binary && !request.at)
        return mistake("the binary '" + request.file + "' needs --at ADDR");
    if (request.at && request.kind != ProgramFileKind::Binary)
        return mistake("--at is for a binary FILE only");
    line.start = true;
    return line;
}

} // namespace orv
