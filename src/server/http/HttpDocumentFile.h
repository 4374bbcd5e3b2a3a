#pragma once

#include "server/http/HttpPath.h"
#include "server/http/HttpRange.h"
#include "server/http/THttpAnswer.h"

#include <QByteArray>
#include <QIODevice>

#include <memory>
#include <sys/stat.h>

namespace vistrel::server {

// The document a request names. For GET and HEAD it is opened before the
// handler is asked: the one look-up both finds the default document and keeps
// the file that will be sent, so it cannot be swapped in between.
class HttpDocumentFile
{
public:
    HttpDocumentFile() = default;
    ~HttpDocumentFile() { close(); }
    HttpDocumentFile(const HttpDocumentFile &) = delete;
    HttpDocumentFile &operator=(const HttpDocumentFile &) = delete;

    // Maps the request path onto `root` (opening the document unless `post`)
    // and proposes the engine's answer: the document, 404 for a POST, 403
    // outside the folder.
    THttpAnswer route(QByteArrayView requestPath, bool post, httppath::DocumentRoot &root,
                      const QByteArray &defaultDoc);
    // Opens `document` inside `root`; a folder holding `defaultDoc` opens
    // that instead. path() tells which.
    void open(QByteArray document, httppath::DocumentRoot &root, const QByteArray &defaultDoc);
    void close();
    void forget()
    {
        close();
        m_path.clear();
    }

    const QByteArray &path() const { return m_path; }
    bool isOpen() const { return m_fd >= 0; }
    // The path left the document folder through a symbolic link.
    bool escaped() const { return m_escaped; }
    bool isRegular() const { return isOpen() && S_ISREG(m_status.st_mode); }

    struct Answer
    {
        QByteArray Header;
        std::unique_ptr<QIODevice> Body; // none for HEAD, 416 or an empty file
    };
    // The document answer (200, 206 or 416) for an open regular file; the
    // body takes the file over.
    Answer answer(const QByteArray &version, const THttpRangeList &ranges, bool keepAlive, bool withBody);

private:
    bool take(const httppath::OpenResult &opened);

    QByteArray m_path;
    int m_fd = -1;
    bool m_escaped = false;
    struct stat m_status {};
};

} // namespace vistrel::server
