#pragma once

#include <QByteArray>

#include <string>
#include <vector>

namespace vistrel::capture {

// The raw bytes between the page's first "<title>" and the next "</title>"
// (any letter case); empty without either.
QByteArray titleBytes(const QByteArray &body);

// The character set a page declares: the charset parameter of its
// Content-Type header, else that of a <meta> element near its start. Lower case;
// empty when none is declared.
std::string declaredCharset(const std::vector<std::string> &headerLines, const QByteArray &body);

// Page text in its declared character set turned into UTF-8. Without a usable
// declaration, valid UTF-8 stays as it is and anything else is read as
// windows-1252, the usual default of the web. Invalid sequences become U+FFFD.
std::string toUtf8(const QByteArray &bytes, const std::string &charset);

} // namespace vistrel::capture
