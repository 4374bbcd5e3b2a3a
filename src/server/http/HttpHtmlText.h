#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace vistrel::server {

// Writes UTF-8 text as HTML text for the engine's own pages: markup
// characters and quotes as references, tabs and repeated spaces as
// non-breaking spaces, line feeds as breaks, and code points 160 to 255 by
// their HTML 4 entity names. Invalid UTF-8 becomes U+FFFD.
QByteArray escapeHtmlText(QByteArrayView text);

} // namespace vistrel::server
