#pragma once

#include <QString>

#include <cstdint>

namespace vistrel::capture {

// Result codes of the shortcut and shell layer. The capture shows the failing
// ones in its messages, so they keep the values the design names.
using HResult = std::int32_t;

inline constexpr HResult S_OK = 0;
inline constexpr HResult S_FALSE = 1;
inline constexpr HResult E_PENDING = HResult(0x8000000AU);
inline constexpr HResult E_NOINTERFACE = HResult(0x80004002U);
inline constexpr HResult E_FAIL = HResult(0x80004005U);
inline constexpr HResult E_ACCESSDENIED = HResult(0x80070005U);
inline constexpr HResult E_INVALIDARG = HResult(0x80070057U);
inline constexpr HResult E_FILE_NOT_FOUND = HResult(0x80070002U); // from ERROR_FILE_NOT_FOUND
inline constexpr HResult STG_E_FILENOTFOUND = HResult(0x80030002U);

inline bool failed(HResult result)
{
    return result < 0;
}

// As "%x" writes it, in upper case: 80004005.
inline QString hresultText(HResult result)
{
    return QString::number(std::uint32_t(result), 16).toUpper();
}

} // namespace vistrel::capture
