#include "serial/IniFile.h"

#include "core/FileStore.h"

#include <stdexcept>

namespace memvane {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string trimBlanks(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

bool sameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

// The name of a section header line, or nothing when the line is not one.
std::optional<std::string> sectionName(const std::string& line)
{
    std::size_t b = 0;
    while (b < line.size() && isBlank(line[b]))
        ++b;
    if (b >= line.size() || line[b] != '[')
        return std::nullopt;
    std::size_t close = line.find(']', b + 1);
    if (close == std::string::npos)
        return std::nullopt;
    return trimBlanks(line.substr(b + 1, close - b - 1));
}

bool isComment(const std::string& line)
{
    std::size_t b = 0;
    while (b < line.size() && isBlank(line[b]))
        ++b;
    return b < line.size() && (line[b] == ';' || line[b] == '#');
}

bool hasLineBreak(const std::string& s)
{
    return s.find_first_of("\r\n") != std::string::npos;
}

} // namespace

IniFile::IniFile(std::string path) : m_path(std::move(path)) {}

void IniFile::load()
{
    if (m_loaded)
        return;
    m_lines.clear();
    FileRead read = readRegularFile(m_path, MaxFileSize);
    // A missing file reads as empty and is created by Flush. Anything else under the name (a
    // folder, a FIFO, a device) is not a settings file, and certainly not one to replace.
    if (read.status == FileRead::NotAFile)
        throw std::runtime_error("not a settings file: " + m_path);
    const std::string& content = read.bytes;
    // A line ends at LF, CR LF or a lone CR. Were a lone CR part of a value, that value could
    // be read but never written back (no value may span lines), and the settings would fail to
    // store at close.
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t end = content.find_first_of("\r\n", pos);
        Line line;
        if (end == std::string::npos) {
            line.text = content.substr(pos);
            pos = content.size();
        } else {
            line.text = content.substr(pos, end - pos);
            bool crlf = content.compare(end, 2, "\r\n") == 0;
            line.eol = crlf ? "\r\n" : content.substr(end, 1);
            pos = end + line.eol.size();
        }
        m_lines.push_back(std::move(line));
    }
    m_loaded = true;
}

std::optional<IniFile::Location> IniFile::find(const std::string& section,
                                               const std::string& key) const
{
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        auto name = sectionName(m_lines[i].text);
        if (!name || !sameName(*name, section))
            continue;
        Location loc{i, m_lines.size(), std::nullopt};
        for (std::size_t j = i + 1; j < m_lines.size(); ++j) {
            const std::string& text = m_lines[j].text;
            if (sectionName(text)) {
                loc.end = j;
                break;
            }
            if (loc.key || isComment(text))
                continue;
            std::size_t eq = text.find('=');
            if (eq != std::string::npos && sameName(trimBlanks(text.substr(0, eq)), key))
                loc.key = j;
        }
        return loc;
    }
    return std::nullopt;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& fallback)
{
    load();
    auto loc = find(section, key);
    if (!loc || !loc->key)
        return fallback;
    const std::string& text = m_lines[*loc->key].text;
    std::string value = trimBlanks(text.substr(text.find('=') + 1));
    if (value.size() > MaxValueLength)
        value.resize(MaxValueLength);
    return value;
}

bool IniFile::SectionExists(const std::string& section)
{
    load();
    return find(section, std::string()).has_value();
}

std::string IniFile::newline() const
{
    // New lines follow the file's own convention.
    for (const Line& l : m_lines) {
        if (!l.eol.empty())
            return l.eol;
    }
    return "\n";
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value)
{
    if (hasLineBreak(section) || section.find(']') != std::string::npos)
        throw std::invalid_argument("invalid section name '" + section + "'");
    std::string k = trimBlanks(key);
    if (k.empty() || hasLineBreak(key) || key.find('=') != std::string::npos || k[0] == '[' ||
        k[0] == ';' || k[0] == '#')
        throw std::invalid_argument("invalid key '" + key + "'");
    if (hasLineBreak(value))
        throw std::invalid_argument("a value for '" + key + "' spans more than one line");
    load();
    const std::string nl = newline();
    auto loc = find(section, key);
    if (loc && loc->key) {
        Line& line = m_lines[*loc->key];
        std::string updated = line.text.substr(0, line.text.find('=') + 1) + value;
        if (updated != line.text) {
            line.text = std::move(updated);
            m_dirty = true;
        }
        return;
    }
    if (loc) {
        // After the section's last non-blank line, so blank lines before the next section stay
        // where they are.
        std::size_t at = loc->end;
        while (at > loc->sectionLine + 1 && trimBlanks(m_lines[at - 1].text).empty())
            --at;
        if (m_lines[at - 1].eol.empty())
            m_lines[at - 1].eol = nl;
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at),
                       Line{k + "=" + value, nl});
        m_dirty = true;
        return;
    }
    if (!m_lines.empty() && m_lines.back().eol.empty())
        m_lines.back().eol = nl;
    m_lines.push_back(Line{"[" + section + "]", nl});
    m_lines.push_back(Line{k + "=" + value, nl});
    m_dirty = true;
}

void IniFile::Flush()
{
    if (!m_dirty)
        return;
    std::string content;
    for (const Line& l : m_lines)
        content += l.text + l.eol;
    replaceFile(m_path, content);
    m_dirty = false;
}

} // namespace memvane
