#include "capture/IniFile.h"

#include <QFile>

#include <cctype>

namespace vistrel::capture {

namespace {

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

IniFile IniFile::parse(QByteArrayView bytes)
{
    IniFile file;
    Section *current = nullptr;
    std::string_view text(bytes.data(), std::size_t(bytes.size()));
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        // A property value is a C string: a NUL ends the line's meaning.
        line = line.substr(0, line.find('\0'));
        line = trimmed(line);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            const std::string_view name = trimmed(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
            file.m_sections.push_back({std::string(name), {}});
            current = &file.m_sections.back();
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!current || equals == std::string_view::npos)
            continue;
        current->entries.emplace_back(std::string(trimmed(line.substr(0, equals))),
                                      std::string(trimmed(line.substr(equals + 1))));
    }
    return file;
}

std::optional<IniFile> IniFile::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parse(file.read(kMaxFileBytes));
}

const std::vector<std::pair<std::string, std::string>> *IniFile::section(std::string_view name) const
{
    for (const Section &s : m_sections) {
        if (equalsNoCase(s.name, name))
            return &s.entries;
    }
    return nullptr;
}

std::optional<std::string> IniFile::value(std::string_view sectionName, std::string_view key) const
{
    const auto *entries = section(sectionName);
    if (!entries)
        return std::nullopt;
    for (const auto &[name, value] : *entries) {
        if (equalsNoCase(name, key))
            return value;
    }
    return std::nullopt;
}

} // namespace vistrel::capture
