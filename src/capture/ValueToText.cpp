#include "capture/ValueToText.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTimeZone>

#include <cstdio>

namespace vistrel::capture {

namespace {

// 100-ns ticks between 1 January 1601 and 1 January 1970.
constexpr std::int64_t kFileTimeEpochOffsetMs = 11644473600000LL;

std::string fileTimeDate(std::uint64_t ticks)
{
    const qint64 ms = qint64(ticks / 10000) - kFileTimeEpochOffsetMs;
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
    return QLocale::system().toString(utc.toLocalTime().date(), QLocale::ShortFormat).toStdString();
}

} // namespace

std::string generalNumber(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    std::string text(buffer);
    // "1E+20" -> "1E20", "1E-05" -> "1E-5".
    const std::size_t e = text.find('E');
    if (e == std::string::npos)
        return text;
    std::string mantissa = text.substr(0, e);
    std::string exponent = text.substr(e + 1);
    std::string sign;
    if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) {
        if (exponent[0] == '-')
            sign = "-";
        exponent.erase(0, 1);
    }
    while (exponent.size() > 1 && exponent[0] == '0')
        exponent.erase(0, 1);
    return mantissa + "E" + sign + exponent;
}

std::string valueToText(const PropVariant &value)
{
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_VOID:
    case VT_ILLEGAL:
        return {};
    case VT_I2:
        return std::to_string(std::int16_t(value.integer));
    case VT_I4:
    case VT_INT:
        return std::to_string(std::int32_t(value.integer));
    case VT_UI1:
        return std::to_string(std::uint8_t(value.integer));
    case VT_UI2:
        return std::to_string(std::uint16_t(value.integer));
    case VT_UI4:
    case VT_UINT:
        return std::to_string(std::uint32_t(value.integer));
    case VT_I8:
    case VT_UI8:
        return std::to_string(value.integer);
    case VT_R4:
        return generalNumber(double(float(value.real)));
    case VT_R8:
        return generalNumber(value.real);
    case VT_BSTR:
    case VT_LPWSTR:
        return QString::fromUtf16(value.wide.data(), qsizetype(value.wide.size())).toStdString();
    case VT_LPSTR:
        return value.ansi;
    case VT_ERROR:
        return "Error code: " + std::to_string(std::int32_t(value.integer));
    case VT_BOOL:
        return value.integer != 0 ? "True" : "False";
    case VT_FILETIME:
        return fileTimeDate(std::uint64_t(value.integer));
    case VT_CLSID:
        return value.clsid.toString(QUuid::WithBraces).toUpper().toStdString();
    default:
        return "Unsupported property type:" + std::to_string(value.vt);
    }
}

} // namespace vistrel::capture
