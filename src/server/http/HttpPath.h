#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace vistrel::server::httppath {

// Decodes each "%" followed by two hexadecimal digits into that byte; any
// other "%" stays as it is and "+" is not decoded.
QByteArray percentDecode(QByteArrayView text);

// Collapses ".", ".." and doubled slashes of a "/" path. A trailing slash
// stays, a trailing "/." goes; ".." at the root removes only itself. An empty
// path, "." and ".." give an empty result.
QByteArray normalise(QByteArrayView path);

// True when `document` is `root` or lies below it (byte for byte: Linux file
// names differ by case).
bool isInsideRoot(QByteArrayView document, QByteArrayView root);

struct Mapping
{
    QByteArray Document;
    bool OutsideRoot = false;
};

// Maps a request path onto the document folder `docDir`. A path that decodes
// to a NUL byte cannot name a file: it maps to nothing, outside the root.
// Backslashes count as separators, as they do for the browsers that send them.
Mapping mapPath(QByteArrayView path, QByteArrayView docDir);

// Appends the default document to a folder that holds it.
QByteArray applyDefaultDocument(const QByteArray &document, const QByteArray &defaultDoc);

// Result of opening a document for reading.
struct OpenResult
{
    int Fd = -1;        // open descriptor, owned by the caller
    int Error = 0;      // errno when Fd is -1
    bool Escaped = false; // the path leaves the root through a symbolic link
};

// The document folder, kept open between requests so that each file is
// looked up from it directly.
class DocumentRoot
{
public:
    DocumentRoot() = default;
    explicit DocumentRoot(QByteArray path) : m_path(std::move(path)) {}
    ~DocumentRoot() { reset(); }
    DocumentRoot(const DocumentRoot &) = delete;
    DocumentRoot &operator=(const DocumentRoot &) = delete;

    const QByteArray &path() const { return m_path; }
    void setPath(const QByteArray &path);
    // The folder's descriptor, opened on first use; -1 with errno set when
    // the folder cannot be opened.
    int fd();
    void reset();

private:
    QByteArray m_path;
    int m_fd = -1;
};

// Opens `document` read-only. The file must be reached from the root folder
// without leaving it, symbolic links included. Never blocks on a FIFO or a
// device.
OpenResult openDocument(const QByteArray &document, DocumentRoot &root);

// The same confinement by resolving the whole path first, for systems
// without openat2.
OpenResult openConfinedResolved(const QByteArray &document, const QByteArray &root);

} // namespace vistrel::server::httppath
