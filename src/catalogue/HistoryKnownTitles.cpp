#include "catalogue/HistoryKnownTitles.h"

#include "platform/ShortcutWriter.h"
#include "platform/TextEncodings.h"

namespace vistrel::catalogue {


QString HistoryKnownTitles::key(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size())).toCaseFolded();
}

std::string HistoryKnownTitles::favouriteName(std::string_view title)
{
    return platform::favouriteFileName(platform::decodePercent(title));
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
