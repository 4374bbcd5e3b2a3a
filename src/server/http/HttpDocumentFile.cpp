#include "server/http/HttpDocumentFile.h"

#include "server/http/HttpAnswers.h"
#include "server/http/HttpDocumentStream.h"

#include <cerrno>
#include <unistd.h>

namespace vistrel::server {

void HttpDocumentFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_escaped = false;
}

bool HttpDocumentFile::take(const httppath::OpenResult &opened)
{
    close();
    m_fd = opened.Fd;
    m_escaped = opened.Fd < 0 && opened.Escaped;
    if (m_fd >= 0 && ::fstat(m_fd, &m_status) != 0)
        close();
    return m_fd >= 0;
}

THttpAnswer HttpDocumentFile::route(QByteArrayView requestPath, bool post, httppath::DocumentRoot &root,
                                   const QByteArray &defaultDoc)
{
    const httppath::Mapping mapping = httppath::mapPath(requestPath, root.path());
    m_path = mapping.Document;
    if (mapping.OutsideRoot)
        return THttpAnswer::forbidden();
    if (post) {
        m_path = httppath::applyDefaultDocument(m_path, defaultDoc);
        return THttpAnswer::notFound();
    }
    open(m_path, root, defaultDoc);
    return THttpAnswer::document();
}

void HttpDocumentFile::open(QByteArray document, httppath::DocumentRoot &root, const QByteArray &defaultDoc)
{
    m_path = std::move(document);
    if (!take(httppath::openDocument(m_path, root)) || !S_ISDIR(m_status.st_mode) || defaultDoc.isEmpty())
        return;
    const QByteArray candidate = m_path + (m_path.endsWith('/') ? "" : "/") + defaultDoc;
    const httppath::OpenResult opened = httppath::openDocument(candidate, root);
    if (opened.Fd < 0 && (opened.Error == ENOENT || opened.Error == ENOTDIR))
        return; // the folder holds no default document
    m_path = candidate;
    take(opened);
}

HttpDocumentFile::Answer HttpDocumentFile::answer(const QByteArray &version, const THttpRangeList &ranges,
                                                  bool keepAlive, bool withBody)
{
    answers::DocumentPlan plan = answers::planDocument(version, answers::contentTypeFor(m_path), m_status.st_size,
                                                       m_status.st_mtime, ranges, keepAlive);
    Answer a;
    a.Header = std::move(plan.Header);
    if (withBody && !plan.Pieces.isEmpty())
        a.Body = std::make_unique<HttpDocumentStream>(std::exchange(m_fd, -1), std::move(plan.Pieces), plan.BodySize);
    close();
    return a;
}

} // namespace vistrel::server
