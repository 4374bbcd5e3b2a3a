#pragma once

#include <QString>

namespace vistrel::platform {

class PrivateTempFolder;

// A private copy of a database file (with its write-ahead log when there is
// one, so visits not yet checkpointed are seen) in a subfolder of the run's
// temporary folder. The browser may hold the original locked or keep writing
// it; the copy is ours alone. The subfolder goes, with anything SQLite added
// to it, when the object goes.
class TemporaryDatabaseCopy
{
public:
    TemporaryDatabaseCopy(const PrivateTempFolder &tempFolder, const QString &original);
    ~TemporaryDatabaseCopy();
    TemporaryDatabaseCopy(const TemporaryDatabaseCopy &) = delete;
    TemporaryDatabaseCopy &operator=(const TemporaryDatabaseCopy &) = delete;

    bool isValid() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }
    // Why there is no copy, or why the log could not be copied (the copy is then
    // valid but may lack the latest visits).
    QString error() const { return m_error; }

private:
    QString m_folder;
    QString m_path;
    QString m_error;
};

} // namespace vistrel::platform
