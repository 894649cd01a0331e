#include "files/ChannelFile.h"

#include "core/Errors.h"
#include "core/FileStore.h"
#include "core/Numbers.h"
#include "files/TextFile.h"

#include <cerrno>
#include <ctime>
#include <filesystem>

namespace memvane {

namespace {

constexpr std::size_t kMaxFields = 16;

bool isBlank(std::string_view text)
{
    return text.find_first_not_of(' ') == std::string_view::npos;
}

// A field quoted in a message box: control bytes (a binary file's) become '?', and a huge
// field is cut, at a character boundary so UTF-8 text stays readable.
std::string quotable(std::string_view text)
{
    constexpr std::size_t kLimit = 60;
    std::string out;
    for (std::size_t i = 0; i < text.size() && i < kLimit; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        out += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
    }
    if (text.size() > kLimit) {
        while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80)
            out.pop_back();
        if (!out.empty() && static_cast<unsigned char>(out.back()) >= 0xC0)
            out.pop_back();
        out += "...";
    }
    return out;
}

std::string frequencyField(const std::string& field)
{
    if (isBlank(field))
        return field;
    double mhz = 0;
    if (!TryStrToFloat(field, mhz))
        throw EConvertError("'" + quotable(field) + "' is not a valid floating point value");
    return FormatFreq(mhz);
}

} // namespace

std::string dialogFolder()
{
    std::error_code ec;
    std::filesystem::path cwd = std::filesystem::current_path(ec);
    return ec ? std::string() : cwd.string();
}

std::string formatChannelFile(const std::vector<ChannelRow>& rows)
{
    std::string out;
    for (const ChannelRow& row : rows) {
        out += row.write ? "true" : "false";
        // A row without texts (from an empty line) becomes a lone flag, which loads back as a
        // row without texts; "false," would come back with one empty text.
        for (const std::string& text : row.texts) {
            out += ',';
            out += text;
        }
        out += "\r\n";
    }
    return out;
}

std::vector<ChannelRow> parseChannelFile(std::string_view contents)
{
    std::vector<ChannelRow> rows;
    for (std::string_view line : splitLines(contents)) {
        std::vector<std::string> fields = splitFields(line, kMaxFields);
        ChannelRow row;
        row.write = Trim(fields[0]) == "true";
        row.texts.assign(std::make_move_iterator(fields.begin() + 1),
                         std::make_move_iterator(fields.end()));
        // texts[1] and texts[2] are fields 3 and 4: the transmit and receive frequencies.
        for (std::size_t i = 1; i <= 2 && i < row.texts.size(); ++i)
            row.texts[i] = frequencyField(row.texts[i]);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string proposedSaveName(std::chrono::system_clock::time_point now)
{
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    return FormatInt(local.tm_year + 1900, 4) + "-" + FormatInt(local.tm_mon + 1, 2) + "-" +
           FormatInt(local.tm_mday, 2) + "--" + FormatInt(local.tm_hour, 2) +
           FormatInt(local.tm_min, 2);
}

Overwrite askOverwrite(UiEffects& ui, const std::string& path)
{
    const FileKind kind = fileKindOf(path);
    if (kind == FileKind::Missing)
        return Overwrite::NoFile;
    // A folder of that name cannot be replaced; say so before asking about it.
    if (kind == FileKind::Folder)
        throw EInOutError::fromErrno(EISDIR);
    return ui.askOkCancel("really overwrite this file?\r\n" + path) ? Overwrite::Confirmed
                                                                    : Overwrite::Cancelled;
}

void saveChannelFile(const ChannelList& list, ProgramState& state, UiEffects& ui,
                     std::chrono::system_clock::time_point now)
{
    ui.setStatus("");
    FileDialogRequest request;
    request.title = kSaveDialogTitle;
    request.initialDir = state.userdir.empty() ? dialogFolder() : state.userdir;
    request.filter = kSaveDialogFilter;
    request.filterIndex = 1;
    request.defaultExt = kSaveDialogDefaultExt;
    request.fileName = proposedSaveName(now);
    std::optional<std::string> chosen = ui.runSaveDialog(request);
    if (!chosen) {
        ui.showMessage("Save file was cancelled");
        return;
    }
    ui.hideEditPanel();

    const std::string& path = *chosen;
    switch (askOverwrite(ui, path)) {
    case Overwrite::Cancelled:
        ui.showMessage("Cancel pressed");
        return;
    case Overwrite::Confirmed:
        ui.showMessage("OK pressed");
        break;
    case Overwrite::NoFile:
        break;
    }
    replaceFile(path, formatChannelFile(list.rows()));
}

void loadChannelFile(ChannelList& list, ProgramState& state, UiEffects& ui)
{
    ui.setStatus("");
    ui.hideEditPanel();
    const std::string& dir = state.loaddir.empty() ? state.exedir : state.loaddir;
    // The name box names a file in the folder; a path typed there (an absolute one, or one
    // that climbs out with "..") must not reach files elsewhere.
    const std::string& name = state.basename;
    if (name.find_first_of(std::string_view("/\0", 2)) != std::string::npos || name == "." ||
        name == "..")
        throw EInOutError(EINVAL, "'" + quotable(name) +
                                      "' is not a file name: the name box names a file in the "
                                      "folder " +
                                      dir);
    std::string path = (std::filesystem::path(dir) / name).string();
    std::vector<ChannelRow> rows = parseChannelFile(readTextFile(path));
    list.replaceAll(std::move(rows));
}

std::optional<FileBoxes> chooseChannelFile(ProgramState& state, UiEffects& ui)
{
    ui.setStatus("");
    FileDialogRequest request;
    request.initialDir = dialogFolder();
    std::optional<std::string> chosen = ui.runOpenDialog(request);
    if (!chosen)
        return std::nullopt;

    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(*chosen, ec);
    if (ec)
        path = *chosen;
    std::string folder = path.parent_path().string();
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    state.loaddir = folder;

    std::string file = path.filename().string();
    std::size_t dot = file.rfind('.');
    if (dot == std::string::npos)
        return FileBoxes{file, ""};
    return FileBoxes{file.substr(0, dot), file.substr(dot)};
}

std::string makeBasename(const std::string& nameBox, const std::string& extBox)
{
    return Trim(nameBox) + Trim(extBox);
}

} // namespace memvane
