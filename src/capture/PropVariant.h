#pragma once

#include <QUuid>

#include <cstdint>
#include <string>

namespace vistrel::capture {

// Variant type numbers as property storages give them.
enum VarType : std::uint16_t {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_LPSTR = 30,
    VT_LPWSTR = 31,
    VT_FILETIME = 64,
    VT_BLOB = 65,
    VT_CLSID = 72,
    VT_ILLEGAL = 65535,
};

// One property value. Integer types keep their value in `integer` (VT_BOOL
// too: 0 or -1; VT_ERROR its code; VT_FILETIME its 100-ns ticks since 1601 as
// an unsigned bit pattern), floating types and VT_DATE in `real`, VT_LPSTR its
// bytes in `ansi`, VT_BSTR and VT_LPWSTR their text in `wide`.
struct PropVariant
{
    std::uint16_t vt = VT_EMPTY;
    std::int64_t integer = 0;
    double real = 0;
    std::string ansi;
    std::u16string wide;
    QUuid clsid;

    static PropVariant empty() { return {}; }
    static PropVariant ofInteger(std::uint16_t type, std::int64_t value);
    static PropVariant ofReal(std::uint16_t type, double value);
    static PropVariant ofAnsi(std::string bytes);
    static PropVariant ofWide(std::u16string text, std::uint16_t type = VT_LPWSTR);
    static PropVariant ofFileTime(std::uint64_t ticks);
    static PropVariant ofClsid(const QUuid &id);
    static PropVariant ofType(std::uint16_t type); // a type without a value we keep
};

} // namespace vistrel::capture
