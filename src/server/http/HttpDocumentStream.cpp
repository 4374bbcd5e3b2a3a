#include "server/http/HttpDocumentStream.h"

#include <cerrno>
#include <cstring>
#include <sys/sendfile.h>
#include <unistd.h>

namespace vistrel::server {

HttpDocumentStream::HttpDocumentStream(int fd, QList<answers::DocumentPlan::Piece> pieces, qint64 size,
                                       QObject *parent)
    : QIODevice(parent)
    , m_fd(fd)
    , m_pieces(std::move(pieces))
    , m_remaining(size)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

HttpDocumentStream::~HttpDocumentStream()
{
    close();
}

void HttpDocumentStream::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    QIODevice::close();
}

bool HttpDocumentStream::atFileSpan() const
{
    return m_piece < m_pieces.size() && m_pieces[m_piece].Bytes.isEmpty();
}

qint64 HttpDocumentStream::sendFileTo(int socket, qint64 maxSize)
{
    const answers::DocumentPlan::Piece &piece = m_pieces[m_piece];
    off_t offset = piece.Start + m_offset;
    const qint64 want = std::min(maxSize, piece.Length - m_offset);
    ssize_t sent;
    do {
        sent = ::sendfile(socket, m_fd, &offset, size_t(want));
    } while (sent < 0 && errno == EINTR);
    if (sent == 0)
        setErrorString(QStringLiteral("The file became shorter while it was sent."));
    if (sent <= 0)
        return sent;
    m_offset += sent;
    m_remaining -= sent;
    if (m_offset == piece.Length) {
        ++m_piece;
        m_offset = 0;
    }
    return sent;
}

qint64 HttpDocumentStream::readData(char *data, qint64 maxSize)
{
    qint64 total = 0;
    while (total < maxSize && m_piece < m_pieces.size()) {
        const answers::DocumentPlan::Piece &piece = m_pieces[m_piece];
        const qint64 pieceSize = piece.Bytes.isEmpty() ? piece.Length : piece.Bytes.size();
        const qint64 want = std::min(maxSize - total, pieceSize - m_offset);
        qint64 got = 0;
        if (!piece.Bytes.isEmpty()) {
            std::memcpy(data + total, piece.Bytes.constData() + m_offset, size_t(want));
            got = want;
        } else {
            do {
                got = ::pread(m_fd, data + total, size_t(want), piece.Start + m_offset);
            } while (got < 0 && errno == EINTR);
            if (got <= 0) {
                setErrorString(got == 0 ? QStringLiteral("The file became shorter while it was sent.")
                                        : QString::fromLocal8Bit(std::strerror(errno)));
                return total > 0 ? total : -1;
            }
        }
        total += got;
        m_offset += got;
        m_remaining -= got;
        if (m_offset == pieceSize) {
            ++m_piece;
            m_offset = 0;
        }
    }
    return total;
}

} // namespace vistrel::server
