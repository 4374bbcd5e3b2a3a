#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vistrel::capture {

// An INI file read the way the shell reads shortcut files: sections and keys
// compare without regard to ASCII case, the first of duplicate sections or keys
// wins, lines outside a section and lines without "=" are ignored, names and
// values are trimmed of blanks, and values keep their bytes (up to a NUL).
class IniFile
{
public:
    // A shortcut file larger than this is read only this far.
    static constexpr qsizetype kMaxFileBytes = 1024 * 1024;

    static IniFile parse(QByteArrayView bytes);
    // Empty when the file cannot be read.
    static std::optional<IniFile> load(const QString &path);

    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // Every key and value of the first section of that name, in file order.
    const std::vector<std::pair<std::string, std::string>> *section(std::string_view name) const;

private:
    struct Section
    {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    std::vector<Section> m_sections;
};

bool equalsNoCase(std::string_view a, std::string_view b);

} // namespace vistrel::capture
