#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace vistrel::server::httpdirlist {

// An HTML page listing the folder `folder` (file-system bytes), titled with
// the request path. A null result when the folder cannot be read.
QByteArray render(const QByteArray &folder, QByteArrayView requestPath);

} // namespace vistrel::server::httpdirlist
