#pragma once

#include <QByteArray>
#include <QString>

namespace vistrel::pages {

// Replaces the file with the bytes: written to a temporary file in the same
// folder, then renamed over it, so a reader or a crash never sees a
// half-written page and a failure leaves the old file as it was. Not synced to
// disk: a refresh writes a thousand pages and makes them all again next time.
// On failure returns false and sets *error.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error);

// Removes the temporary files that a crash in the middle of a write left in
// the folder. Only while nothing is being written there.
void removeLeftoverTemporaryFiles(const QString &folder);

} // namespace vistrel::pages
