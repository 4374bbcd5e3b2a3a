#include "capture/PropVariant.h"

namespace vistrel::capture {

PropVariant PropVariant::ofInteger(std::uint16_t type, std::int64_t value)
{
    PropVariant v;
    v.vt = type;
    v.integer = value;
    return v;
}

PropVariant PropVariant::ofReal(std::uint16_t type, double value)
{
    PropVariant v;
    v.vt = type;
    v.real = value;
    return v;
}

PropVariant PropVariant::ofAnsi(std::string bytes)
{
    PropVariant v;
    v.vt = VT_LPSTR;
    v.ansi = std::move(bytes);
    return v;
}

PropVariant PropVariant::ofWide(std::u16string text, std::uint16_t type)
{
    PropVariant v;
    v.vt = type;
    v.wide = std::move(text);
    return v;
}

PropVariant PropVariant::ofFileTime(std::uint64_t ticks)
{
    PropVariant v;
    v.vt = VT_FILETIME;
    v.integer = std::int64_t(ticks);
    return v;
}

PropVariant PropVariant::ofClsid(const QUuid &id)
{
    PropVariant v;
    v.vt = VT_CLSID;
    v.clsid = id;
    return v;
}

PropVariant PropVariant::ofType(std::uint16_t type)
{
    PropVariant v;
    v.vt = type;
    return v;
}

} // namespace vistrel::capture
