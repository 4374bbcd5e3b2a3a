#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vistrel::platform {

// Replaces a file in one step (temporary file in the same folder, then rename),
// creating missing parent folders; a crash never leaves it half-written.
bool writeFileAtomically(const QString &path, const QByteArray &bytes);

// Text the program writes: UTF-8, CR LF after every line including the last.
QByteArray joinLinesCrLf(const QStringList &lines);
bool writeLinesAtomically(const QString &path, const QStringList &lines);

} // namespace vistrel::platform
