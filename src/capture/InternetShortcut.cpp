#include "capture/InternetShortcut.h"

#include "capture/UrlCacheLookup.h"

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <charconv>
#include <limits>

namespace vistrel::capture {

namespace {

constexpr std::string_view kShortcutSection = "InternetShortcut";
constexpr std::string_view kShortcutSetSection = "{000214A0-0000-0000-C000-000000000046}";
constexpr std::string_view kSiteSetSection = "{000214A1-0000-0000-C000-000000000046}";
// 100-ns ticks between 1 January 1601 and 1 January 1970.
constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Decimal with an optional sign, or "0x" hexadecimal (a bit pattern).
std::optional<std::int64_t> parseInteger(std::string_view text)
{
    text = trimmed(text);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::uint64_t value = 0;
        const auto [ptr, ec] = std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
        if (ec != std::errc() || ptr != text.data() + text.size())
            return std::nullopt;
        return std::int64_t(value);
    }
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    std::int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) {
        // Unsigned 64-bit values above the signed range are kept as their bit pattern.
        std::uint64_t unsignedValue = 0;
        const auto [uptr, uec] = std::from_chars(text.data(), text.data() + text.size(), unsignedValue);
        if (text.empty() || uec != std::errc() || uptr != text.data() + text.size())
            return std::nullopt;
        return std::int64_t(unsignedValue);
    }
    return value;
}

std::optional<double> parseReal(std::string_view text)
{
    bool ok = false;
    const double value = QByteArray(text.data(), qsizetype(text.size())).trimmed().toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

PropVariant integerOfType(std::uint16_t type, std::string_view text, std::int64_t low, std::int64_t high)
{
    const auto value = parseInteger(text);
    if (!value)
        return PropVariant::empty();
    // Hexadecimal bit patterns of the type's width are accepted as such.
    std::int64_t v = *value;
    if (v < low || v > high) {
        const bool pattern = low < 0 && v > high && std::uint64_t(v) <= std::uint64_t(high) * 2 + 1;
        if (!pattern)
            return PropVariant::empty();
        v = v - (high + 1) * 2;
    }
    return PropVariant::ofInteger(type, v);
}

std::u16string utf16(std::string_view utf8)
{
    const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    return std::u16string(reinterpret_cast<const char16_t *>(text.utf16()), std::size_t(text.size()));
}

// "Modified=" holds a FILETIME as the hexadecimal digits of its eight bytes,
// lowest byte first (a ninth byte may follow).
std::optional<std::uint64_t> modifiedTicks(std::string_view hex)
{
    if (hex.size() < 16)
        return std::nullopt;
    std::uint64_t ticks = 0;
    for (int byte = 0; byte < 8; ++byte) {
        unsigned value = 0;
        const auto [ptr, ec] = std::from_chars(hex.data() + byte * 2, hex.data() + byte * 2 + 2, value, 16);
        if (ec != std::errc() || ptr != hex.data() + byte * 2 + 2)
            return std::nullopt;
        ticks |= std::uint64_t(value) << (8 * byte);
    }
    return ticks;
}

std::uint64_t fileTimeOf(const QDateTime &time)
{
    return kUnixEpochTicks + std::uint64_t(time.toMSecsSinceEpoch()) * 10000ULL;
}

// "PropN" with N a decimal property identifier.
std::optional<PropertyId> propertyKey(std::string_view key)
{
    if (key.size() < 5 || !equalsNoCase(key.substr(0, 4), "prop"))
        return std::nullopt;
    PropertyId id = 0;
    const auto [ptr, ec] = std::from_chars(key.data() + 4, key.data() + key.size(), id);
    if (ec != std::errc() || ptr != key.data() + key.size())
        return std::nullopt;
    return id;
}

void readSection(const IniFile &file, std::string_view name, PropertyStorage &storage)
{
    const auto *entries = file.section(name);
    if (!entries)
        return;
    for (const auto &[key, value] : *entries) {
        const auto id = propertyKey(key);
        if (id && !storage.contains(*id))
            storage.set(*id, parsePropertyValue(value));
    }
}

} // namespace

PropVariant parsePropertyValue(std::string_view typeAndValue)
{
    const std::size_t comma = typeAndValue.find(',');
    const std::string_view typeText = trimmed(typeAndValue.substr(0, comma));
    const std::string_view value = comma == std::string_view::npos ? std::string_view() : typeAndValue.substr(comma + 1);
    unsigned type = 0;
    const auto [ptr, ec] = std::from_chars(typeText.data(), typeText.data() + typeText.size(), type);
    if (typeText.empty() || ec != std::errc() || ptr != typeText.data() + typeText.size() || type > 0xFFFF)
        return PropVariant::empty();

    switch (type) {
    case VT_EMPTY:
    case VT_NULL:
        return PropVariant::ofType(std::uint16_t(type));
    case VT_I1:
        return integerOfType(VT_I1, value, INT8_MIN, INT8_MAX);
    case VT_I2:
        return integerOfType(VT_I2, value, INT16_MIN, INT16_MAX);
    case VT_I4:
    case VT_INT:
    case VT_ERROR:
        return integerOfType(std::uint16_t(type), value, INT32_MIN, INT32_MAX);
    case VT_UI1:
        return integerOfType(VT_UI1, value, 0, UINT8_MAX);
    case VT_UI2:
        return integerOfType(VT_UI2, value, 0, UINT16_MAX);
    case VT_UI4:
    case VT_UINT:
        return integerOfType(std::uint16_t(type), value, 0, UINT32_MAX);
    case VT_I8:
    case VT_UI8:
    case VT_FILETIME: {
        const auto v = parseInteger(value);
        return v ? PropVariant::ofInteger(std::uint16_t(type), *v) : PropVariant::empty();
    }
    case VT_BOOL: {
        const std::string_view t = trimmed(value);
        if (equalsNoCase(t, "true"))
            return PropVariant::ofInteger(VT_BOOL, -1);
        if (equalsNoCase(t, "false"))
            return PropVariant::ofInteger(VT_BOOL, 0);
        const auto v = parseInteger(t);
        return v ? PropVariant::ofInteger(VT_BOOL, *v != 0 ? -1 : 0) : PropVariant::empty();
    }
    case VT_R4:
    case VT_R8:
    case VT_DATE: {
        const auto v = parseReal(value);
        return v ? PropVariant::ofReal(std::uint16_t(type), *v) : PropVariant::empty();
    }
    case VT_LPSTR:
        return PropVariant::ofAnsi(std::string(value));
    case VT_LPWSTR:
    case VT_BSTR:
        return PropVariant::ofWide(utf16(value), std::uint16_t(type));
    case VT_CLSID: {
        const QUuid id = QUuid::fromString(QLatin1StringView(trimmed(value).data(), qsizetype(trimmed(value).size())));
        return id.isNull() ? PropVariant::empty() : PropVariant::ofClsid(id);
    }
    default:
        return PropVariant::ofType(std::uint16_t(type));
    }
}

InternetShortcut::InternetShortcut(const UrlCacheLookup *cache) : m_cache(cache) {}

HResult InternetShortcut::load(const QString &path)
{
    auto file = IniFile::load(path);
    if (!file) {
        m_file = IniFile();
        return STG_E_FILENOTFOUND;
    }
    m_file = std::move(*file);
    return S_OK;
}

std::string InternetShortcut::url() const
{
    return m_file.value(kShortcutSection, "URL").value_or(std::string());
}

HResult InternetShortcut::openPropertySet(const QUuid &formatId, std::unique_ptr<PropertyStorage> &storage) const
{
    if (formatId == FMTID_Intshcut)
        storage = std::make_unique<PropertyStorage>(shortcutSet());
    else if (formatId == FMTID_InternetSite)
        storage = std::make_unique<PropertyStorage>(siteSet());
    else
        return STG_E_FILENOTFOUND;
    return S_OK;
}

PropertyStorage InternetShortcut::shortcutSet() const
{
    PropertyStorage set;
    // The [InternetShortcut] keys are what the shell itself writes; they win.
    auto text = [&](const char *key, PropertyId id) {
        if (auto value = m_file.value(kShortcutSection, key))
            set.set(id, PropVariant::ofAnsi(std::move(*value)));
    };
    auto number = [&](const char *key, PropertyId id, std::uint16_t type, std::int64_t low, std::int64_t high) {
        if (auto value = m_file.value(kShortcutSection, key))
            set.set(id, integerOfType(type, *value, low, high));
    };
    text("URL", PID_IS_URL);
    text("WorkingDirectory", PID_IS_WORKINGDIR);
    number("HotKey", PID_IS_HOTKEY, VT_UI2, 0, UINT16_MAX);
    number("ShowCommand", PID_IS_SHOWCMD, VT_I4, INT32_MIN, INT32_MAX);
    number("IconIndex", PID_IS_ICONINDEX, VT_I4, INT32_MIN, INT32_MAX);
    text("IconFile", PID_IS_ICONFILE);
    readSection(m_file, kShortcutSetSection, set);
    return set;
}

PropertyStorage InternetShortcut::siteSet() const
{
    PropertyStorage set;
    if (m_cache) {
        const std::string address = url();
        if (auto entry = address.empty() ? std::nullopt : m_cache->lookup(address.substr(0, address.find('#')))) {
            set.set(PID_INTSITE_URL, PropVariant::ofWide(utf16(address)));
            set.set(PID_INTSITE_VISITCOUNT, PropVariant::ofInteger(VT_UI4, entry->hitCount));
            if (entry->lastVisit.isValid())
                set.set(PID_INTSITE_LASTVISIT, PropVariant::ofFileTime(fileTimeOf(entry->lastVisit)));
            if (!entry->title.empty())
                set.set(PID_INTSITE_TITLE, PropVariant::ofWide(utf16(entry->title)));
        }
    }
    readSection(m_file, kSiteSetSection, set);
    if (!set.contains(PID_INTSITE_LASTMOD)) {
        if (auto modified = m_file.value(kShortcutSection, "Modified")) {
            if (auto ticks = modifiedTicks(*modified))
                set.set(PID_INTSITE_LASTMOD, PropVariant::ofFileTime(*ticks));
        }
    }
    return set;
}

} // namespace vistrel::capture
