#include "control/command_line.h"

#include "base/address.h"
#include "files/safe_file.h"

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
    "  --labels FILE    read the debugger's labels from FILE (ld65 -Ln or --dbgfile, or VICE)\n"
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

// How many bytes from p make one well-formed UTF-8 character; 0 when they make none.
std::size_t utf8Length(const unsigned char* p, std::size_t left) {
    const unsigned lead = p[0];
    if (lead < 0x80) return 1;
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || left < length) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((p[i] & 0xC0) != 0x80) return 0;
    // Overlong forms, surrogates and what lies beyond U+10FFFF.
    if ((lead == 0xE0 && p[1] < 0xA0) || (lead == 0xED && p[1] >= 0xA0) || (lead == 0xF0 && p[1] < 0x90) ||
        (lead == 0xF4 && p[1] >= 0x90))
        return 0;
    return length;
}

constexpr char16_t KEPT_BYTE = 0xDC00;

} // namespace

QString nameText(const QByteArray& bytes) {
    QString text;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto size = static_cast<std::size_t>(bytes.size());
    for (std::size_t at = 0; at < size;) {
        const std::size_t length = utf8Length(p + at, size - at);
        if (length == 0) {
            text += QChar(static_cast<char16_t>(KEPT_BYTE + p[at]));
            ++at;
            continue;
        }
        text += QString::fromUtf8(reinterpret_cast<const char*>(p + at), static_cast<qsizetype>(length));
        at += length;
    }
    return text;
}

QByteArray nameBytes(const QString& text) {
    QByteArray bytes;
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        const bool kept = unit >= KEPT_BYTE + 0x80 && unit <= KEPT_BYTE + 0xFF &&
                          (i == 0 || !text[i - 1].isHighSurrogate());
        if (!kept) continue;
        bytes += text.mid(from, i - from).toUtf8();
        bytes += static_cast<char>(unit - KEPT_BYTE);
        from = i + 1;
    }
    return bytes + text.mid(from).toUtf8();
}

QStringList argumentsOf(int argc, const char* const* argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << nameText(QByteArray(argv[i]));
    return arguments;
}

std::optional<std::uint16_t> parseHexAddress(const QString& text) {
    return addressValue(text.toStdString(), OPTION_ADDRESS);
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
        // Named by its ending or not, a folder is no file to load.
        if (readRefusal(nameBytes(request.file).toStdString()) == FileRefusal::Folder)
            return mistake(QString::fromStdString(
                readRefusalMessage(FileRefusal::Folder, request.file.toStdString(), true)));
        request.kind = programFileKind(request.file.toStdString());
        if (request.kind == ProgramFileKind::Unknown)
            return mistake("unknown kind of file '" + request.file + "' (" + QString(PROGRAM_FILE_ENDINGS) +
                           ")");
    }
    if (request.kind == ProgramFileKind::Binary && !request.at)
        return mistake("the binary '" + request.file + "' needs --at ADDR");
    if (request.at && request.kind != ProgramFileKind::Binary)
        return mistake("--at is for a binary FILE only");
    if (request.run && request.file.isEmpty()) return mistake("--run needs a FILE");
    line.start = true;
    return line;
}

} // namespace orv
