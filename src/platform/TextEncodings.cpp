#include "platform/TextEncodings.h"

#include <array>
#include <cctype>

namespace vistrel::platform {

namespace {

constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

// The characters escapePercent writes as "%" + decimal, in the order of their codes
// (decodePercent undoes them in this order).
constexpr std::array<unsigned char, 10> kPercentCharacters = {' ', '"', '*', '/', ':',
                                                              '<', '>', '?', '\\', '|'};

bool isPercentCharacter(char32_t c)
{
    for (unsigned char p : kPercentCharacters)
        if (c == p)
            return true;
    return false;
}

void appendDecimal(std::string &out, const char *prefix, char32_t code, const char *suffix)
{
    out += prefix;
    out += std::to_string(static_cast<unsigned>(code));
    out += suffix;
}

std::string upperHexPair(unsigned code)
{
    return {kUpperHexDigits[(code >> 4) & 0xF], kUpperHexDigits[code & 0xF]};
}

void replaceAll(std::string &text, std::string_view from, std::string_view to)
{
    if (from.empty())
        return;
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t hit = text.find(from, start);
        if (hit == std::string::npos)
            break;
        out.append(text, start, hit - start);
        out += to;
        start = hit + from.size();
    }
    if (start == 0)
        return;
    out.append(text, start, std::string::npos);
    text = std::move(out);
}

// XML forbids the character outright: it is written as a blank.
char32_t xmlSafe(char32_t c)
{
    return isXmlChar(c) ? c : U' ';
}

} // namespace

namespace detail {

char32_t decodeUtf8At(std::string_view text, std::size_t &pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int length = 0;
    char32_t value = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        else if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else {
        ++pos;
        return kReplacementCharacter;
    }
    ++pos;
    for (int i = 1; i < length; ++i) {
        if (pos >= text.size())
            return kReplacementCharacter;
        const unsigned char b = byte(pos);
        if (b < low || b > high)
            return kReplacementCharacter;
        low = 0x80;
        high = 0xBF;
        value = (value << 6) | (b & 0x3F);
        ++pos;
    }
    return value;
}

} // namespace detail

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isXmlChar(char32_t c)
{
    if (c < 0x20)
        return c == 0x9 || c == 0xA || c == 0xD;
    if (c >= 0xD800 && c <= 0xDFFF)
        return false;
    return c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

std::string hexEncode(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out += kUpperHexDigits[b >> 4];
        out += kUpperHexDigits[b & 0xF];
    }
    return out;
}

std::string hexDecode(std::string_view digits)
{
    std::string out;
    out.reserve(digits.size() / 2);
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        const int high = hexDigitValue(digits[i]);
        const int low = hexDigitValue(digits[i + 1]);
        if (high < 0 || low < 0)
            throw ConversionError("'" + std::string(digits.substr(i, 2)) + "' is not a valid hexadecimal pair");
        out += static_cast<char>(high * 16 + low);
    }
    return out;
}

std::string escapeReferences(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    forEachCodePoint(text, [&](char32_t raw) {
        const char32_t c = xmlSafe(raw);
        if (c == U'&')
            out += "&amp;";
        else if (c <= 32 || c == U'"' || c == U'<' || (c >= 127 && c <= 255))
            appendDecimal(out, "&#", c, ";");
        else
            appendUtf8(out, c);
    });
    return out;
}

std::string escapePercent(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    forEachCodePoint(text, [&](char32_t raw) {
        const char32_t c = xmlSafe(raw);
        if (c == U'&')
            out += "&amp;";
        else if (isPercentCharacter(c) || (c >= 127 && c <= 255))
            appendDecimal(out, "%", c, "");
        else
            appendUtf8(out, c);
    });
    return out;
}

std::string escapeAttribute(std::string_view text)
{
    std::string out(text);
    replaceAll(out, "&", "&amp;");
    replaceAll(out, "\"", "&#34;");
    return out;
}

std::string decodePercent(std::string_view text)
{
    std::string out(text);
    replaceAll(out, "&amp;", "&");
    for (unsigned char c : kPercentCharacters)
        replaceAll(out, "%" + upperHexPair(c), std::string(1, static_cast<char>(c)));
    for (unsigned code = 0; code <= 32; ++code)
        replaceAll(out, "&#" + upperHexPair(code) + ";", std::string(1, static_cast<char>(code)));
    for (unsigned code = 127; code <= 255; ++code)
        replaceAll(out, "%" + upperHexPair(code), std::string(1, static_cast<char>(code)));
    return out;
}

std::string decodeFormValue(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            const int high = i + 1 < text.size() ? hexDigitValue(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? hexDigitValue(text[i + 2]) : -1;
            if (high < 0 || low < 0)
                throw ConversionError("'" + std::string(text.substr(i, 3)) + "' is not a valid escape");
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string siteRoot(std::string_view url)
{
    std::size_t pos = std::string_view::npos;
    for (int slashes = 0; slashes < 3; ++slashes) {
        pos = url.find('/', pos == std::string_view::npos ? 0 : pos + 1);
        if (pos == std::string_view::npos)
            return std::string(url);
    }
    return std::string(url.substr(0, pos + 1));
}

std::string urlBase(std::string_view url)
{
    const std::size_t pos = url.rfind('/');
    if (pos == std::string_view::npos)
        return std::string(url);
    return std::string(url.substr(0, pos + 1));
}

std::string filePattern(std::string_view url)
{
    const std::size_t pos = url.rfind('.');
    if (pos == std::string_view::npos)
        return "*.exe";
    return "*" + std::string(url.substr(pos));
}

std::string toXmlText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    forEachCodePoint(text, [&](char32_t c) { appendUtf8(out, xmlSafe(c)); });
    return out;
}

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

std::string_view trimBlanks(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace vistrel::platform
