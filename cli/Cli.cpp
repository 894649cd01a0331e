#include "cli/Cli.h"

#include "channels/ChannelReader.h"
#include "channels/ChannelTexts.h"
#include "channels/ChannelTuner.h"
#include "channels/ChannelWriter.h"
#include "channels/WriteSafety.h"
#include "civ/ComPortIo.h"
#include "civ/ExchangeSettings.h"
#include "cli/TerminalUi.h"
#include "core/Errors.h"
#include "core/Numbers.h"
#include "core/ProgramFolder.h"
#include "core/TextBytes.h"
#include "files/BackupFile.h"
#include "files/ChannelFile.h"
#include "files/ChirpCsv.h"
#include "core/FileFolder.h"
#include "core/FileStore.h"
#include "files/TextFile.h"
#include "serial/CPort.h"

#include <cerrno>
#include <cstring>
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

constexpr const char* kStandardStream = "-";

// "1A" for 100 ... "C2" for 107, the number itself below.
std::string memoryName(int memory)
{
    std::string special = specialLocationName(memory);
    return special.empty() ? std::to_string(memory) : special;
}

std::string rowLabel(int memory)
{
    return "Mem " + memoryName(memory);
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

// Standard input as a whole, for "-".
std::string readStandardInput(std::FILE* in)
{
    if (!in)
        throw AppError("standard input is closed");
    std::string text;
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, in)) > 0;) {
        text.append(buf, n);
        if (text.size() > kMaxTextFileSize)
            throw AppError("standard input holds more than a channel file can");
    }
    if (std::ferror(in))
        throw EInOutError::fromErrno(errno);
    return text;
}

// Standard output, checked: a full disk or a closed pipe is an error, not a silent loss.
void writeStandardOutput(std::FILE* out, const std::string& text)
{
    if (!out)
        throw AppError("standard output is closed");
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fflush(out) != 0 ||
        std::ferror(out))
        throw AppError(std::string("cannot write standard output: ") +
                       (errno ? std::strerror(errno) : "write error"));
}

void writeOutput(const std::string& path, const std::string& text, std::FILE* out)
{
    if (path == kStandardStream)
        writeStandardOutput(out, text);
    else
        replaceFile(path, text);
}

Loaded loadRows(const std::string& path, bool chirp, std::FILE* err, std::FILE* in)
{
    try {
        std::string text = path == kStandardStream ? readStandardInput(in) : readTextFile(path);
        if (!chirp)
            return {parseChannelFile(text), false};
        ChirpImport in = parseChirpCsv(text);
        printReport(err, path, in.report);
        // As in the window: a file without a single memory replaces nothing.
        if (in.rows.empty())
            throw AppError("no row is a memory the radio can hold");
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

// Refuses an output that could not be written, before a read spends a minute on it: a folder,
// a file the user may not write, a missing folder, a closed standard output.
void checkWritable(const std::string& path, std::FILE* out)
{
    if (path == kStandardStream) {
        if (!out)
            throw AppError("standard output is closed: nowhere to write the memories");
        return;
    }
    auto refuse = [&](const std::string& why) { throw AppError("cannot write " + path + ": " + why); };
    try {
        switch (fileKindOf(path)) {
        case FileKind::Folder:
            refuse("it is a folder");
            break;
        case FileKind::Missing:
            break;
        default:
            requireWritableFile(path);
        }
        std::filesystem::path folder = std::filesystem::path(path).parent_path();
        if (folder.empty())
            folder = ".";
        if (fileKindOf(folder.string()) != FileKind::Folder)
            refuse("the folder " + folder.string() + " does not exist");
        requireWritableFolder(folder.string());
    } catch (const EInOutError& e) {
        refuse(e.message());
    }
}

bool exists(const std::string& path)
{
    std::error_code ec;
    return path != kStandardStream && std::filesystem::exists(path, ec);
}

// ---- The radio ------------------------------------------------------------------------------

struct Radio
{
    ProgramState state;
    TerminalUi ui;
    TComPort port{"ComPort1"};
    ComPortIo io{port};
    ChannelList list;

    Radio(const Options& options, std::FILE* err)
        : ui(state, err, ::isatty(::fileno(err)) != 0, options.verbosity)
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
            // "Fast exchange" of the window's CI-V Address menu, kept in the same file.
            state.fastExchange = state.fastExchange || loadProgramFlags(settings).fastExchange;
        } else if (!options.port && options.verbosity > 0) {
            std::fprintf(err, "%s: no %s in %s: using the port %s\n", kProgram, kSettingsFile,
                         currentFileFolder(settingsFolder(), MEMVANE_APP_ID).dir.c_str(),
                         port.Port().c_str());
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
    const std::string output = o.output.empty() ? kStandardStream : o.output;
    bool chirp = o.format == "chirp" || (o.format.empty() && isChirpCsvName(output));
    radio.io.ensureOpen(); // the output was checked before the port was touched

    radio.ui.begin(o.last - o.first + 1);
    RadioContext ctx = radio.context();
    int refused = 0;
    bool ran = radioOperation(radio, err, [&] { refused = readAllChannels(ctx, o.first, o.last); });
    for (size_t i = 0; i < radio.list.size(); ++i)
        radio.list.setText(i, ColMemLoc, rowLabel(o.first + static_cast<int>(i)));
    const bool stopped = interrupted();
    const bool complete = ran && !stopped && refused == 0;
    if (radio.list.empty()) {
        if (stopped)
            std::fprintf(err, "Stopped before the first memory\n");
        return ran ? outcome(refused > 0) : kExitRadio; // nothing read, nothing replaced
    }

    // A backup that exists is replaced only by a complete read: half a radio, or blank rows
    // for memories the radio refused, would take the place of good rows.
    std::string target = output;
    if (!complete && exists(output))
        target = partialPath(output);
    writeOutput(target, formatRows(radio.list.rows(), chirp, target, err), out);
    const std::string held = "memories " + memoryName(o.first) + " to " +
                             memoryName(o.first + static_cast<int>(radio.list.size()) - 1);
    std::string why = stopped ? "Stopped" : !ran ? "The read did not complete" : "";
    if (!complete && why.empty())
        why = "The radio refused " + std::to_string(refused) +
              (refused == 1 ? " memory (a blank row)" : " memories (blank rows)");
    if (!complete && target != output)
        std::fprintf(err, "%s: %s is kept as it was; %s holds %s\n", why.c_str(), output.c_str(),
                     target.c_str(), held.c_str());
    else if (!complete)
        std::fprintf(err, "%s: the %s holds %s\n", why.c_str(),
                     target == kStandardStream ? "output" : "file", held.c_str());
    return ran ? outcome(refused > 0) : kExitRadio;
}

// Where the window keeps its files, and so its backups.
std::string programFilesFolder()
{
    return currentFileFolder(settingsFolder(), MEMVANE_APP_ID).dir;
}

WriteOptions writeOptions(const Options& o)
{
    WriteOptions options;
    options.backup = o.backup;
    options.verify = o.verify;
    options.restore = o.command == "restore";
    if (o.backupFile.empty()) {
        options.saveBackup = [](const std::vector<ChannelRow>& rows) {
            return saveNewBackup(programFilesFolder(), rows);
        };
    } else {
        options.saveBackup = [path = o.backupFile](const std::vector<ChannelRow>& rows) {
            replaceFile(path, formatChannelFile(rows));
            return path;
        };
    }
    return options;
}

int runWrite(const Options& o, Radio* radio, std::FILE* err, std::FILE* in)
{
    const std::string& path = o.files[0];
    Loaded file =
        loadRows(path, o.format == "chirp" || (o.format.empty() && isChirpCsvName(path)), err, in);
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
    ChannelList list;
    list.replaceAll(std::move(file.rows));

    WriteOptions options = writeOptions(o);
    // The window checks each row just before it is sent; here every row is checked before the
    // first one is, so a bad file leaves the radio untouched.
    ProgramState names;
    names.fillNameTables();
    int ticked = 0;
    std::vector<std::string> labels; // by row position, for the progress texts
    for (size_t i = 0; i < list.size(); ++i) {
        const std::vector<std::string>& texts = list.row(i).texts;
        labels.push_back(texts.empty() ? "" : texts[0]);
        if (!list.row(i).write)
            continue;
        ++ticked;
        try {
            memoryOfRow(names, list, i, options);
        } catch (const AppError& error) {
            throw AppError(path + ": row " + std::to_string(i + 1) +
                           (texts.empty() ? "" : " (" + texts[0] + ")") + ": " + error.message());
        }
    }
    if (ticked == 0) {
        std::fprintf(err, "%s: no row is ticked, nothing to write (choose rows with --rows)\n",
                     path.c_str());
        return kExitOk;
    }
    if (o.check) {
        std::fprintf(err, "%s: %d %s can be written\n", path.c_str(), ticked,
                     ticked == 1 ? "row" : "rows");
        return kExitOk;
    }
    if (!o.backupFile.empty())
        checkWritable(o.backupFile, nullptr);
    radio->list.replaceAll(list.rows());
    radio->io.ensureOpen();

    int backups =
        options.backup ? static_cast<int>(memoriesToBackUp(names, list, options).size()) : 0;
    radio->ui.begin(backups + ticked);
    radio->ui.setRowLabels(std::move(labels));
    RadioContext ctx = radio->context();
    WriteOutcome done;
    if (!radioOperation(*radio, err, [&] { done = writeChannels(ctx, options); }))
        return kExitRadio;
    return outcome(done.refusedRows > 0 || done.differing > 0);
}

int runRestore(Options o, Radio& radio, std::FILE* err, std::FILE* in)
{
    if (o.files.empty()) {
        std::string folder = programFilesFolder();
        std::optional<std::string> newest = newestBackup(folder);
        if (!newest)
            throw AppError("no backup-*.txt in " + folder + " to restore");
        o.files.push_back(*newest);
    }
    std::fprintf(err, "Restoring %s\n", o.files[0].c_str());
    return runWrite(o, &radio, err, in);
}

int runTune(const Options& o, Radio& radio, std::FILE* err)
{
    int memory = parseMemory("tune", o.files[0]);
    radio.list.replaceAll({ChannelRow{false, {rowLabel(memory)}}});
    radio.io.ensureOpen();
    RadioContext ctx = radio.context();
    bool accepted = true;
    // A port that fails half-way is said and fails the run, where the window stays silent.
    bool ran = radioOperation(radio, err, [&] { accepted = tuneToChannel(ctx, 0); });
    return outcome(!accepted || !ran);
}

int runConvert(const Options& o, std::FILE* out, std::FILE* err, std::FILE* in)
{
    const std::string& from = o.files[0];
    const std::string& to = o.files[1];
    Loaded file = loadRows(from, isChirpCsvName(from), err, in);
    bool chirp = o.format == "chirp" || (o.format.empty() && isChirpCsvName(to));
    checkWritable(to, out);
    writeOutput(to, formatRows(file.rows, chirp, to, err), out);
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
        if (arg == "--no-backup" || arg == "--no-verify") {
            (arg == "--no-backup" ? o.backup : o.verify) = false;
            continue;
        }
        if (arg == "--check") {
            o.check = true;
            continue;
        }
        if (arg == "-q" || arg == "--quiet") {
            o.verbosity = 0;
            continue;
        }
        if (arg == "-v" || arg == "--verbose") {
            o.verbosity = 2;
            continue;
        }
        std::string name = arg, value;
        bool inlineValue = false;
        if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inlineValue = true;
        }
        static const char* const kWithValue[] = {"-o",        "--output", "--format", "--first",
                                                 "--last",    "--rows",   "--port",   "--baud",
                                                 "--address", "--backup"};
        // The short forms of --port, --baud and --address.
        static const std::pair<const char*, const char*> kShort[] = {
            {"-p", "--port"}, {"-b", "--baud"}, {"-a", "--address"}};
        for (const auto& [shortName, longName] : kShort)
            if (name == shortName)
                name = longName;
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
            o.first = parseMemory(name, value);
            firstSeen = true;
        } else if (name == "--last") {
            o.last = parseMemory(name, value);
            lastSeen = true;
        } else if (name == "--rows") {
            o.rows = value;
        } else if (name == "--backup") {
            if (value.empty())
                throw UsageError("--backup needs a file name");
            o.backupFile = value;
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
            // 58, 58H or 0x58, in any letter case.
            std::string address = asciiUpper(value);
            if (address.rfind("0X", 0) == 0)
                address = address.substr(2);
            else if (address.size() == 3 && address.back() == 'H')
                address.pop_back();
            if (address != "58" && address != "4E" && address != "48")
                throw UsageError("--address is 58, 4E or 48 (also 58H, 0x58), not '" + value +
                                 "'");
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
                                    {"restore", 1, "restore [FILE]"},
                                    {"tune", 1, "tune MEM"},
                                    {"convert", 2, "convert IN OUT"}};
    const Shape* shape = nullptr;
    for (const Shape& s : kShapes)
        if (o.command == s.command)
            shape = &s;
    if (!shape)
        throw UsageError("unknown command '" + o.command + "'");
    if (o.files.size() != shape->files && !(o.command == "restore" && o.files.empty()))
        throw UsageError(std::string("usage: ") + kProgram + " " + shape->usage);
    auto onlyFor = [&](bool given, const char* option, const char* command) {
        if (given && o.command != command)
            throw UsageError(std::string(option) + " belongs to the " + command + " command");
    };
    onlyFor(!o.output.empty(), "-o", "read");
    onlyFor(firstSeen || lastSeen, "--first and --last", "read");
    onlyFor(!o.rows.empty(), "--rows", "write");
    bool writes = o.command == "write" || o.command == "restore";
    if (!writes && (!o.backup || !o.verify || !o.backupFile.empty()))
        throw UsageError("--no-backup, --backup and --no-verify belong to write and restore");
    if (!o.backup && !o.backupFile.empty())
        throw UsageError("--backup names the backup that --no-backup leaves out");
    if (o.backupFile == kStandardStream)
        throw UsageError("--backup needs a file to keep, not standard output");
    onlyFor(o.check, "--check", "write");
    if (o.command == "tune")
        parseMemory("tune", o.files[0]);
    if (o.first > o.last)
        throw UsageError("--first " + memoryName(o.first) + " lies after --last " +
                         memoryName(o.last));
    bool radio = o.command != "convert";
    if (!radio && (o.port || o.baud || addressSeen || o.fast))
        throw UsageError("convert does not talk to the radio: --port, --baud, --address and "
                         "--fast are for read, write and tune");
    return o;
}

int parseMemory(const std::string& option, const std::string& text)
{
    std::string special = locationText("Mem " + text); // 1A..C2 -> 100..107
    std::optional<int> n = number(special);
    if (!n || *n < 1 || *n > 107)
        throw UsageError(option + " takes a memory from 1 to 99 or 1A to C2, not '" + text + "'");
    return *n;
}

std::string partialPath(const std::string& path)
{
    std::filesystem::path p(path);
    std::string stem = (p.parent_path() / p.stem()).string();
    std::string ext = p.extension().string();
    std::string candidate = stem + ".partial" + ext;
    for (int n = 2; exists(candidate); ++n)
        candidate = stem + ".partial-" + std::to_string(n) + ext;
    return candidate;
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
        read memories N to M (default 1 to 99; 1A to C2 are 100 to 107) as "Read Radio
        Memory" does and write them as a channel file, or as CHIRP CSV for --format chirp or
        a FILE ending in .csv; without -o (or with -o -) to standard output. An existing FILE
        is replaced only by a complete read; otherwise the rows read go to FILE.partial
  write FILE [--rows LIST] [--check]
        write the ticked rows of a channel file, the rows LIST (1,3,5-9: row numbers in the
        file) instead, or every row of a CHIRP CSV file, as "Write to Radio" does; every
        row is checked before the first one is sent; --check only checks. First every
        memory the rows will overwrite is read and saved as backup-yyyy-MM-dd--hhmmss.txt
        in the window's folder (--backup FILE: there instead; --no-backup: none); nothing
        is written when that fails. Then each written memory is read back and compared
        with its row (--no-verify: not); a memory that differs is named and makes the exit
        status 1
  restore [FILE]
        write a backup (the newest backup-*.txt in the window's folder when no FILE is
        given) back: every memory as the backup's read showed it, blank ones cleared; backed
        up and verified as write is
  tune MEM
        switch the radio to memory MEM (1 to 99, 1A to C2), as "Go To Chan" does
  convert IN OUT
        a channel file to CHIRP CSV or back (a name ending in .csv is CHIRP CSV)

A FILE, IN or OUT of - is standard input or output.

Options:
  -p, --port NAME     the serial port (COM1, ttyUSB0, /dev/serial/by-id/...)
  -b, --baud N        the line rate
  -a, --address ADDR  the radio's CI-V address: 58 for the IC-706MKIIG (default), 4E for
                      the IC-706MKII, 48 for the IC-706 (also written 58H or 0x58)
  --fast              read each reply as soon as it is complete ("Fast exchange", also on
                      with FastExchange=1 in "ComPort.ini"), still waiting at most 45 ms
  --format channel|chirp
                      the format of the file read writes, convert writes or write reads
  -o, --output FILE   where read writes
  --no-backup         write, restore: no backup before writing
  --backup FILE       write, restore: save the backup as FILE
  --no-verify         write, restore: do not read the written memories back
  -q, --quiet         no progress, only failures and messages
  -v, --verbose       also the refusals with which the radio says a memory is empty
  -h, --help          this text
  --version           the version

Progress goes to standard error: a bar on a terminal, a line per memory otherwise, with the
error lines of failed exchanges. Ctrl-C stops a read or write at the next memory, like
"STOP Reading Memory".

Exit status: 0 everything worked (blank memories included); 1 the radio refused or failed an
exchange, or a written memory differs from its row; 2 bad usage, a bad file or output, or a port that cannot be opened; 130 stopped by
Ctrl-C.
)";
}

int run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, std::FILE* in)
{
    Options o;
    try {
        o = parseArguments(args);
    } catch (const UsageError& error) {
        std::fprintf(err, "%s: %s\nTry '%s --help'.\n", kProgram, error.what(), kProgram);
        return kExitBadInput;
    }
    if (o.help || o.version) {
        try {
            writeStandardOutput(out, o.help ? helpText()
                                            : std::string(kProgram) + " " + MEMVANE_VERSION + "\n");
        } catch (const AppError& error) {
            std::fprintf(err, "%s: %s\n", kProgram, error.what());
            return kExitBadInput;
        }
        return kExitOk;
    }
    installInterruptHandler();
    try {
        if (o.command == "convert")
            return runConvert(o, out, err, in);
        if (o.command == "write" && o.check)
            return runWrite(o, nullptr, err, in);
        if (o.command == "read")
            checkWritable(o.output.empty() ? kStandardStream : o.output, out);
        Radio radio(o, err);
        if (o.command == "read")
            return runRead(o, radio, out, err);
        if (o.command == "write")
            return runWrite(o, &radio, err, in);
        if (o.command == "restore")
            return runRestore(o, radio, err, in);
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
