#pragma once

#include <QString>

namespace vistrel::platform {

// One private folder (mkdtemp under $TMPDIR) for the run's temporary files:
// shortcuts for redirected or history captures, browser profiles, copied
// history databases. Removed with everything in it when the object goes.
class PrivateTempFolder
{
public:
    PrivateTempFolder();
    ~PrivateTempFolder();
    PrivateTempFolder(const PrivateTempFolder &) = delete;
    PrivateTempFolder &operator=(const PrivateTempFolder &) = delete;

    bool isValid() const { return !m_path.isEmpty(); }
    // With a trailing "/".
    QString path() const { return m_path; }
    // A new, empty, uniquely named subfolder (mkdtemp); empty on failure.
    QString makeSubfolder(const QString &prefix) const;
    // A new file name inside the folder that does not exist yet, created empty
    // and exclusively so no other process can claim it; empty on failure.
    QString makeFile(const QString &prefix, const QString &suffix) const;

private:
    QString m_path;
};

} // namespace vistrel::platform
