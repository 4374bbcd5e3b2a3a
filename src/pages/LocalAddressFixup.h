#pragma once

#include <QByteArray>

namespace vistrel::pages {

// Every "http://localhost/" in a generated page becomes "http://localhost:" +
// port + "/", so the pages point at the program's own server on its real port.
// Exact and case-sensitive; replaced text is not scanned again.
QByteArray fixUpLocalAddresses(const QByteArray &text, const QByteArray &port);

} // namespace vistrel::pages
