#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// The small text transformations whose outputs are stored in the listing
// document, in page image names and in form field names, so writer and reader
// must agree on them byte for byte. All work on UTF-8 bytes.
//
// The escapings that produce XML attribute text always give well-formed UTF-8:
// invalid byte sequences become U+FFFD and characters XML 1.0 forbids become
// blanks before the escaping proper. The decodings work on bytes: "%E9" gives the
// byte 0xE9, which is what a browser means by it when it sends UTF-8.
namespace vistrel::platform {

// Raised by the decodings that can meet text they cannot read.
class ConversionError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The value of one hexadecimal digit of either case, or -1.
int hexDigitValue(char c);

// The text without leading and trailing blanks, tabs, carriage returns and line feeds.
std::string_view trimBlanks(std::string_view text);

// Whether text begins with prefix, ASCII letters compared without case.
bool startsWithNoCase(std::string_view text, std::string_view prefix);

// Two upper-case hexadecimal digits per byte: "abc" -> "616263".
std::string hexEncode(std::string_view bytes);

// Digit pairs (either case) back to bytes. A last odd digit is ignored; a pair
// that is not hexadecimal throws ConversionError.
std::string hexDecode(std::string_view digits);

// For XML attribute values: "&" -> "&amp;"; code points 0 to 32, 127 to 255,
// '"' and '<' -> "&#" decimal ";". Everything else passes as UTF-8.
// Apply it to a value, never to a whole name="value" piece: the piece's own
// quotes would be escaped too.
std::string escapeReferences(std::string_view text);

// "&" -> "&amp;"; blank " * / : < > ? \ | and code points 127 to 255 -> "%"
// decimal. Tab, LF and CR pass unchanged.
std::string escapePercent(std::string_view text);

// "&" -> "&amp;", '"' -> "&#34;". Nothing else.
std::string escapeAttribute(std::string_view text);

// What a browser sends back for a name the pages hold: "&amp;" -> "&"; "%XX"
// (upper-case hex) of the ten characters escapePercent names; "&#XX;" for bytes
// 0 to 32; "%XX" for bytes 127 to 255. Not the inverse of escapePercent.
std::string decodePercent(std::string_view text);

// A field of a URL-encoded form: "+" -> blank, "%XX" (either case) -> that byte,
// scanned once from left to right. A "%" without two hex digits after it throws
// ConversionError.
std::string decodeFormValue(std::string_view text);

// Up to and including the third "/"; the whole text when it has fewer.
std::string siteRoot(std::string_view url);
// Up to and including the last "/"; the whole text when it has none.
std::string urlBase(std::string_view url);
// "*" + the text from its last "." on; "*.exe" when it has no ".".
std::string filePattern(std::string_view url);

// Valid UTF-8 in which every character is one XML 1.0 allows: invalid sequences
// become U+FFFD, forbidden characters (controls but tab, LF and CR; U+FFFE,
// U+FFFF) become blanks.
std::string toXmlText(std::string_view text);

// Calls sink(codePoint) for each character of text read as UTF-8; each invalid
// sequence (its longest ill-formed prefix, at least one byte) gives U+FFFD.
template <typename Sink>
void forEachCodePoint(std::string_view text, Sink &&sink);

void appendUtf8(std::string &out, char32_t codePoint);
bool isXmlChar(char32_t codePoint);

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

namespace detail {
// Reads one character at text[pos]; advances pos past it (or past the invalid prefix).
char32_t decodeUtf8At(std::string_view text, std::size_t &pos);
} // namespace detail

template <typename Sink>
void forEachCodePoint(std::string_view text, Sink &&sink)
{
    std::size_t pos = 0;
    while (pos < text.size())
        sink(detail::decodeUtf8At(text, pos));
}

} // namespace vistrel::platform
