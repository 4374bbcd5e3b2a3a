#include "server/http/HttpPath.h"

#include "platform/TextEncodings.h"

#include <QList>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vistrel::server::httppath {

namespace {

bool exists(const QByteArray &path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0;
}

bool isFolder(const QByteArray &path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

QByteArray percentDecode(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = platform::hexDigitValue(text[i + 1]);
            const int low = platform::hexDigitValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.append(char(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.append(text[i]);
    }
    return out;
}

QByteArray normalise(QByteArrayView path)
{
    if (path.isEmpty() || path == "." || path == "..")
        return {};
    const bool absolute = path.startsWith('/');
    bool trailingSlash = path.endsWith('/');
    QList<QByteArrayView> segments;
    qsizetype start = 0;
    while (start <= path.size()) {
        qsizetype slash = path.indexOf('/', start);
        if (slash < 0)
            slash = path.size();
        const QByteArrayView segment = path.sliced(start, slash - start);
        start = slash + 1;
        if (segment.isEmpty() || segment == ".")
            continue;
        if (segment == "..") {
            if (!segments.isEmpty())
                segments.removeLast();
            continue;
        }
        segments.append(segment);
    }
    // "a/b/." and "a/b/.." name folders but carry no slash of their own.
    if (path.endsWith("/.") || path.endsWith("/.."))
        trailingSlash = false;
    QByteArray out;
    if (absolute)
        out.append('/');
    for (qsizetype i = 0; i < segments.size(); ++i) {
        if (i > 0)
            out.append('/');
        out.append(segments[i]);
    }
    if (trailingSlash && !segments.isEmpty())
        out.append('/');
    return out;
}

bool isInsideRoot(QByteArrayView document, QByteArrayView root)
{
    if (root == "/")
        return document.startsWith('/');
    if (!document.startsWith(root))
        return false;
    return document.size() == root.size() || document[root.size()] == '/';
}

Mapping mapPath(QByteArrayView path, QByteArrayView docDir)
{
    Mapping mapping;
    if (path == "/") {
        mapping.Document = docDir.toByteArray();
        return mapping;
    }
    QByteArray decoded = percentDecode(path);
    if (decoded.contains('\0')) {
        mapping.OutsideRoot = true;
        return mapping;
    }
    decoded.replace('\\', '/');
    QByteArray joined = docDir.toByteArray();
    if (!decoded.startsWith('/'))
        joined.append('/');
    joined.append(decoded);
    mapping.Document = normalise(joined);
    mapping.OutsideRoot = !isInsideRoot(mapping.Document, docDir);
    return mapping;
}

QByteArray applyDefaultDocument(const QByteArray &document, const QByteArray &defaultDoc)
{
    if (document.isEmpty() || defaultDoc.isEmpty())
        return document;
    if (document.endsWith('/')) {
        const QByteArray candidate = document + defaultDoc;
        return exists(candidate) ? candidate : document;
    }
    if (isFolder(document)) {
        const QByteArray candidate = document + '/' + defaultDoc;
        if (exists(candidate))
            return candidate;
    }
    return document;
}

// Where openat2 is missing, the whole path is resolved and the result checked
// instead.
OpenResult openConfinedResolved(const QByteArray &document, const QByteArray &root)
{
    OpenResult result;
    char resolvedRoot[PATH_MAX];
    char resolvedDoc[PATH_MAX];
    if (!::realpath(root.constData(), resolvedRoot)) {
        result.Error = errno;
        return result;
    }
    if (!::realpath(document.constData(), resolvedDoc)) {
        result.Error = errno;
        return result;
    }
    if (!isInsideRoot(QByteArrayView(resolvedDoc), QByteArrayView(resolvedRoot))) {
        result.Escaped = true;
        result.Error = EXDEV;
        return result;
    }
    result.Fd = ::open(resolvedDoc, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (result.Fd < 0)
        result.Error = errno;
    return result;
}

void DocumentRoot::setPath(const QByteArray &path)
{
    if (path == m_path)
        return;
    reset();
    m_path = path;
}

int DocumentRoot::fd()
{
    if (m_fd < 0)
        m_fd = ::open(m_path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return m_fd;
}

void DocumentRoot::reset()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

OpenResult openDocument(const QByteArray &document, DocumentRoot &root)
{
    OpenResult result;
    constexpr int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (document.isEmpty()) {
        result.Error = ENOENT;
        return result;
    }
    if (!isInsideRoot(document, root.path())) {
        result.Escaped = true;
        result.Error = EXDEV;
        return result;
    }
    QByteArray relative = document.mid(root.path() == "/" ? 1 : root.path().size() + 1);
    if (relative.isEmpty())
        relative = ".";
    open_how how{};
    how.flags = flags;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    // A folder that was removed and made anew since it was opened is looked
    // up again once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int rootFd = root.fd();
        if (rootFd < 0) {
            result.Error = errno;
            return result;
        }
        const long fd = ::syscall(SYS_openat2, rootFd, relative.constData(), &how, sizeof how);
        if (fd >= 0) {
            result.Fd = int(fd);
            result.Error = 0;
            return result;
        }
        result.Error = errno;
        // Without openat2 (old kernel, or a sandbox that forbids it).
        if (result.Error == ENOSYS || result.Error == EPERM)
            return openConfinedResolved(document, root.path());
        if (result.Error != ENOENT || attempt > 0)
            break;
        struct stat st;
        if (::fstat(rootFd, &st) == 0 && st.st_nlink > 0)
            break; // the folder is still there: the file really is missing
        root.reset();
    }
    result.Escaped = result.Error == EXDEV;
    return result;
}

} // namespace vistrel::server::httppath
