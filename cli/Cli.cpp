#include "cli/Cli.h"

#include "channels/ChannelReader.h"
#include "channels/ChannelTuner.h"
#include "channels/ChannelWriter.h"
#include "civ/ComPortIo.h"
#include "civ/ExchangeSettings.h"
#include "cli/TerminalUi.h"
#include "core/Errors.h"
#include "core/Numbers.h"
#include "core/ProgramFolder.h"
#include "core/TextBytes.h"
#include "files/ChannelFile.h"
#include "files/ChirpCsv.h"
#include "core/FileFolder.h"
#include "core/FileStore.h"
#include "files/TextFile.h"
#include "serial/CPort.h"

#include <cerrno>
#include <filesystem>
#include <unistd.h>

#ifndef MEMVANE_VERSION
#define MEMVANE_VERSION "unknown"
#endif

namespace memvane::cli {

namespace {

constexpr const char* kProgram = "memvane-cli";
constexpr const char* kSettingsFile = "ComPort.ini";

// A decimal number of at most six digits, nothing else.
std::optional<int> number(const std::string& text)
{
    if (text.empty() || text.size() > 6 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return StrToInt(text);
}

int memoryNumber(const std::string& option, const std::string& text)
{
    std::optional<int> n = number(text);
    if (!n || *n < 1 || *n > 99)
        throw UsageError(option + " takes a memory number from 1 to 99, not '" + text + "'");
    return *n;
}

// ---- Files ----------------------------------------------------------------------------------

struct Loaded
{
    std::vector<ChannelRow> rows;
    bool chirp = false;
};

void printReport(std::FILE* err, const std::string& path, const std::vector<std::string>& report)
{
    for (const std::string& line : report)
        std::fprintf(err, "%s: %s\n", path.c_str(), line.c_str());
}

Loaded loadRows(const std::string& path, bool chirp, std::FILE* err)
{
    try {
        std::string text = readTextFile(path);
        if (!chirp)
            return {parseChannelFile(text), false};
        ChirpImport in = parseChirpCsv(text);
        printReport(err, path, in.report);
        return {std::move(in.rows), true};
    } catch (const AppError& error) {
        throw AppError(path + ": " + error.message());
    }
}

std::string formatRows(const std::vector<ChannelRow>& rows, bool chirp, const std::string& path,
                       std::FILE* err)
{
    if (!chirp)
        return formatChannelFile(rows);
    ChirpExport out = formatChirpCsv(rows);
    printReport(err, path, out.report);
    return out.text;
}

// Refuses an output file that could not be written, before a read spends a minute on it.
void checkWritable(const std::string& path)
{
    requireWritableFolder(std::filesystem::path(path).parent_path().string());
}

// ---- The radio ------------------------------------------------------------------------------

struct Radio
{
    ProgramState state;
    TerminalUi ui;
    TComPort port{"ComPort1"};
    ComPortIo io{port};
    ChannelList list;

    Radio(const Options& options, std::FILE* err) : ui(state, err, ::isatty(::fileno(err)) != 0)
    {
        state.fillNameTables();
        state.fastExchange = options.fast;
        if (options.address) {
            state.civhex = *options.address;
            state.civaddr = "$" + state.civhex;
        }
        applyDesignValues(port);
        // No line events: no event thread, and nothing handed to a main-thread queue that no
        // event loop would drain.
        port.SetEvents({});
        // The window's "ComPort.ini": beside it, or for an installed copy in the user's folder.
        std::string settings =
            currentFileFolder(settingsFolder(), MEMVANE_APP_ID).dir + kSettingsFile;
        std::error_code ec;
        if (std::filesystem::is_regular_file(settings, ec)) {
            loadPortSettings(port, settings);
            state.civdelay = loadExchangeWait(settings, state.civdelay);
        }
        if (options.port)
            port.SetPort(*options.port);
        if (options.baud) {
            TBaudRate rate = brCustom;
            for (int i = 0; i < BaudRateCount; ++i)
                if (BaudRateToInt(static_cast<TBaudRate>(i)) ==
                    static_cast<unsigned>(*options.baud))
                    rate = static_cast<TBaudRate>(i);
            if (rate == brCustom)
                port.SetCustomBaudRate(*options.baud);
            port.SetBaudRate(rate);
        }
    }

    RadioContext context() { return RadioContext{state, ui, io, list}; }
};

std::string describe(const std::exception& error)
{
    std::string text = error.what();
    if (const auto* port = dynamic_cast<const EComPort*>(&error); port && !port->Detail().empty())
        text += "\n" + port->Detail();
    return text;
}

// Runs a radio operation: a radio that stops answering has written its error lines already;
// anything else that goes wrong meanwhile is said here. Returns whether it ran to its end.
template <class F> bool radioOperation(Radio& radio, std::FILE* err, F&& body)
{
    try {
        body();
        radio.ui.finish();
        return true;
    } catch (const EAbort&) {
        radio.ui.finish();
    } catch (const std::exception& error) {
        radio.ui.finish();
        std::fprintf(err, "%s: %s\n", kProgram, describe(error).c_str());
    }
    return false;
}

// `failed`: a refusal that is a failure (a blank memory's are not) or an operation that did
// not run to its end; a radio that stops answering always ends it (EAbort).
int outcome(bool failed)
{
    if (interrupted())
        return kExitInterrupted;
    return failed ? kExitRadio : kExitOk;
}

int runRead(const Options& o, Radio& radio, std::FILE* out, std::FILE* err)
{
    bool chirp = o.format == "chirp" || (o.format.empty() && isChirpCsvName(o.output));
    if (!o.output.empty())
        checkWritable(o.output);
    radio.io.ensureOpen();

    radio.ui.begin(o.last - o.first + 1);
    RadioContext ctx = radio.context();
    int refused = 0;
    if (!radioOperation(radio, err, [&] { refused = readAllChannels(ctx, o.first, o.last); }))
        return kExitRadio; // nothing is written: a backup of half the radio is no backup

    std::string text = formatRows(radio.list.rows(), chirp, o.output, err);
    if (o.output.empty())
        std::fwrite(text.data(), 1, text.size(), out);
    else
        replaceFile(o.output, text);
    if (interrupted() && radio.list.empty())
        std::fprintf(err, "Stopped before the first memory\n");
    else if (interrupted())
        std::fprintf(err, "Stopped: the file holds memories %d to %d\n", o.first,
                     o.first + static_cast<int>(radio.list.size()) - 1);
    return outcome(refused > 0);
}

int runWrite(const Options& o, Radio& radio, std::FILE* err)
{
    const std::string& path = o.files[0];
    Loaded file =
        loadRows(path, o.format == "chirp" || (o.format.empty() && isChirpCsvName(path)), err);
    if (!o.rows.empty()) {
        std::vector<int> chosen = parseRowList(o.rows, static_cast<int>(file.rows.size()));
        for (ChannelRow& row : file.rows)
            row.write = false;
        for (int n : chosen)
            file.rows[static_cast<size_t>(n - 1)].write = true;
    } else if (file.chirp) {
        for (ChannelRow& row : file.rows)
            row.write = true;
    }
    radio.list.replaceAll(std::move(file.rows));

    // The window checks each row just before it is sent; here every row is checked before the
    // first one is, so a bad file leaves the radio untouched.
    int ticked = 0;
    for (size_t i = 0; i < radio.list.size(); ++i) {
        if (!radio.list.row(i).write)
            continue;
        ++ticked;
        try {
            planChannelWrite(radio.state, radio.list, i);
        } catch (const AppError& error) {
            const std::vector<std::string>& texts = radio.list.row(i).texts;
            throw AppError(path + ": row " + std::to_string(i + 1) +
                           (texts.empty() ? "" : " (" + texts[0] + ")") + ": " + error.message());
        }
    }
    if (ticked == 0) {
        std::fprintf(err, "%s: no row is ticked, nothing to write (choose rows with --rows)\n",
                     path.c_str());
        return kExitOk;
    }
    radio.io.ensureOpen();

    radio.ui.begin(ticked);
    RadioContext ctx = radio.context();
    int refused = 0;
    if (!radioOperation(radio, err, [&] { refused = writeTickedChannels(ctx); }))
        return kExitRadio;
    return outcome(refused > 0);
}

int runTune(const Options& o, Radio& radio, std::FILE* err)
{
    int memory = memoryNumber("tune", o.files[0]);
    radio.list.replaceAll({ChannelRow{false, {"Mem " + std::to_string(memory)}}});
    radio.io.ensureOpen();
    RadioContext ctx = radio.context();
    bool accepted = true;
    // A port that fails half-way is said and fails the run, where the window stays silent.
    bool ran = radioOperation(radio, err, [&] { accepted = tuneToChannel(ctx, 0); });
    return outcome(!accepted || !ran);
}

int runConvert(const Options& o, std::FILE* err)
{
    const std::string& in = o.files[0];
    const std::string& out = o.files[1];
    Loaded file = loadRows(in, isChirpCsvName(in), err);
    bool chirp = o.format == "chirp" || (o.format.empty() && isChirpCsvName(out));
    replaceFile(out, formatRows(file.rows, chirp, out, err));
    return kExitOk;
}

} // namespace

Options parseArguments(const std::vector<std::string>& args)
{
    Options o;
    bool optionsEnd = false, firstSeen = false, lastSeen = false, addressSeen = false;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnd || arg.empty() || arg[0] != '-' || arg == "-") {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            o.help = true;
            continue;
        }
        if (arg == "--version") {
            o.version = true;
            continue;
        }
        if (arg == "--fast") {
            o.fast = true;
            continue;
        }
        std::string name = arg, value;
        bool inlineValue = false;
        if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inlineValue = true;
        }
        static const char* const kWithValue[] = {"-o",      "--output", "--format",
                                                 "--first", "--last",   "--rows",
                                                 "--port",  "--baud",   "--address"};
        bool known = false;
        for (const char* k : kWithValue)
            known = known || name == k;
        if (!known)
            throw UsageError("unknown option '" + arg + "'");
        if (!inlineValue) {
            if (i + 1 >= args.size())
                throw UsageError(name + " needs a value");
            value = args[++i];
        }
        if (name == "-o" || name == "--output") {
            o.output = value;
        } else if (name == "--format") {
            if (value != "channel" && value != "chirp")
                throw UsageError("--format is 'channel' or 'chirp', not '" + value + "'");
            o.format = value;
        } else if (name == "--first") {
            o.first = memoryNumber(name, value);
            firstSeen = true;
        } else if (name == "--last") {
            o.last = memoryNumber(name, value);
            lastSeen = true;
        } else if (name == "--rows") {
            o.rows = value;
        } else if (name == "--port") {
            if (value.empty())
                throw UsageError("--port needs a port name");
            o.port = value;
        } else if (name == "--baud") {
            std::optional<int> baud = number(value);
            if (!baud || *baud == 0)
                throw UsageError("--baud takes a line rate such as 19200, not '" + value + "'");
            o.baud = baud;
        } else {
            std::string address = asciiUpper(value);
            if (address != "58" && address != "4E" && address != "48")
                throw UsageError("--address is 58, 4E or 48, not '" + value + "'");
            o.address = address;
            addressSeen = true;
        }
    }
    if (o.help || o.version)
        return o;
    if (positional.empty())
        throw UsageError("no command given");
    o.command = positional[0];
    o.files.assign(positional.begin() + 1, positional.end());

    struct Shape
    {
        const char* command;
        size_t files;
        const char* usage;
    };
    static const Shape kShapes[] = {{"read", 0, "read [-o FILE]"},
                                    {"write", 1, "write FILE"},
                                    {"tune", 1, "tune MEM"},
                                    {"convert", 2, "convert IN OUT"}};
    const Shape* shape = nullptr;
    for (const Shape& s : kShapes)
        if (o.command == s.command)
            shape = &s;
    if (!shape)
        throw UsageError("unknown command '" + o.command + "'");
    if (o.files.size() != shape->files)
        throw UsageError(std::string("usage: ") + kProgram + " " + shape->usage);
    auto onlyFor = [&](bool given, const char* option, const char* command) {
        if (given && o.command != command)
            throw UsageError(std::string(option) + " belongs to the " + command + " command");
    };
    onlyFor(!o.output.empty(), "-o", "read");
    onlyFor(firstSeen || lastSeen, "--first and --last", "read");
    onlyFor(!o.rows.empty(), "--rows", "write");
    if (o.first > o.last)
        throw UsageError("--first " + std::to_string(o.first) + " lies after --last " +
                         std::to_string(o.last));
    bool radio = o.command != "convert";
    if (!radio && (o.port || o.baud || addressSeen || o.fast))
        throw UsageError("convert does not talk to the radio: --port, --baud, --address and "
                         "--fast are for read, write and tune");
    return o;
}

std::vector<int> parseRowList(const std::string& list, int count)
{
    std::vector<int> rows;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string item = Trim(
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        size_t dash = item.find('-');
        std::optional<int> from = number(item.substr(0, dash));
        std::optional<int> to = dash == std::string::npos ? from : number(item.substr(dash + 1));
        if (!from || !to || *from > *to)
            throw UsageError("--rows takes row numbers and ranges such as 1,3,5-9, not '" + item +
                             "'");
        if (*from < 1 || *to > count)
            throw UsageError("--rows " + item + ": the file has rows 1 to " +
                             std::to_string(count));
        for (int n = *from; n <= *to; ++n)
            rows.push_back(n);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return rows;
}

std::string helpText()
{
    return R"(Usage: memvane-cli [OPTIONS] COMMAND [ARGUMENTS]

Reads and writes the memories of an IC-706, IC-706MKII or IC-706MKIIG over CI-V, with the
port settings the Memvane window keeps in "ComPort.ini".

Commands:
  read [-o FILE] [--first N] [--last M]
        read memories N to M (default 1 to 99) as "Read Radio Memory" does and write them
        as a channel file, or as CHIRP CSV for --format chirp or a FILE ending in .csv;
        without -o to standard output
  write FILE [--rows LIST]
        write the ticked rows of a channel file, the rows LIST (1,3,5-9: row numbers in the
        file) instead, or every row of a CHIRP CSV file, as "Write to Radio" does; every
        row is checked before the first one is sent
  tune MEM
        switch the radio to memory MEM (1 to 99), as "Go To Chan" does
  convert IN OUT
        a channel file to CHIRP CSV or back (a name ending in .csv is CHIRP CSV)

Options:
  --port NAME         the serial port (COM1, ttyUSB0, /dev/serial/by-id/...)
  --baud N            the line rate
  --address 58|4E|48  the radio's CI-V address: IC-706MKIIG 58 (default), IC-706MKII 4E,
                      IC-706 48
  --fast              read each reply as soon as it is complete ("Fast exchange"), still
                      waiting at most 45 ms
  --format channel|chirp
                      the format of the file read writes, convert writes or write reads
  -h, --help          this text
  --version           the version

Progress goes to standard error: a bar on a terminal, a line per memory otherwise, with the
error lines of failed exchanges. Ctrl-C stops a read or write at the next memory, like
"STOP Reading Memory"; a read then writes the memories it has.

Exit status: 0 everything worked (blank memories included); 1 the radio refused or failed an
exchange; 2 bad usage, a bad file or a port that cannot be opened; 130 stopped by Ctrl-C.
)";
}

int run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err)
{
    Options o;
    try {
        o = parseArguments(args);
    } catch (const UsageError& error) {
        std::fprintf(err, "%s: %s\nTry '%s --help'.\n", kProgram, error.what(), kProgram);
        return kExitBadInput;
    }
    if (o.help) {
        std::fputs(helpText().c_str(), out);
        return kExitOk;
    }
    if (o.version) {
        std::fprintf(out, "%s %s\n", kProgram, MEMVANE_VERSION);
        return kExitOk;
    }
    installInterruptHandler();
    try {
        if (o.command == "convert")
            return runConvert(o, err);
        Radio radio(o, err);
        if (o.command == "read")
            return runRead(o, radio, out, err);
        if (o.command == "write")
            return runWrite(o, radio, err);
        return runTune(o, radio, err);
    } catch (const UsageError& error) {
        std::fprintf(err, "%s: %s\nTry '%s --help'.\n", kProgram, error.what(), kProgram);
    } catch (const std::exception& error) {
        // Files, settings and the port before the radio was asked anything.
        std::fprintf(err, "%s: %s\n", kProgram, describe(error).c_str());
    }
    return kExitBadInput;
}

} // namespace memvane::cli
