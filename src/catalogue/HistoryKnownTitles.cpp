#include "catalogue/HistoryKnownTitles.h"

#include "platform/TextEncodings.h"

namespace vistrel::catalogue {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmedBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

QString HistoryKnownTitles::key(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size())).toCaseFolded();
}

std::string HistoryKnownTitles::favouriteName(std::string_view title)
{
    const std::string decoded = platform::decodePercent(trimmedBlanks(title));
    std::string name;
    name.reserve(decoded.size());
    for (char c : decoded) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\')
            name += '_';
        else if (u < 32 || u == 127)
            name += ' ';
        else
            name += c;
    }
    std::string_view kept = trimmedBlanks(name);
    if (kept.size() > kMaxFavouriteNameBytes) {
        std::size_t cut = kMaxFavouriteNameBytes;
        // Never inside a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(kept[cut]) & 0xC0) == 0x80)
            --cut;
        kept = trimmedBlanks(kept.substr(0, cut));
    }
    if (kept == "." || kept == "..")
        return {};
    return std::string(kept);
}

void HistoryKnownTitles::addName(std::string_view name)
{
    m_keys.insert(key(name));
}

void HistoryKnownTitles::addTitle(std::string_view title)
{
    m_keys.insert(key(title));
}

bool HistoryKnownTitles::contains(std::string_view title) const
{
    if (m_keys.contains(key(title)))
        return true;
    const std::string name = favouriteName(title);
    return !name.empty() && m_keys.contains(key(name));
}

} // namespace vistrel::catalogue
