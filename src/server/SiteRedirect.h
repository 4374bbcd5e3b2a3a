#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace vistrel::server {

// The one address the program answers itself: "/site=?" + an address sends the
// browser there.
bool isSiteRedirect(QByteArrayView path);

// The whole 301 answer, header only, for the request's version and query. None
// when the query holds a CR, LF or NUL, which would let it add header lines of
// its own.
std::optional<QByteArray> siteRedirectAnswer(const QByteArray &version, const QByteArray &query);

} // namespace vistrel::server
