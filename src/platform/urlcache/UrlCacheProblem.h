#pragma once

#include <QString>

namespace vistrel::platform {

// Something the URL cache had to skip: a history database it could not read
// (wholly or partly), or a profile list it could not use.
struct UrlCacheProblem
{
    QString path;     // the file concerned
    QString message;  // what went wrong and what was skipped

    QString text() const { return path + QStringLiteral(": ") + message; }
};

} // namespace vistrel::platform
