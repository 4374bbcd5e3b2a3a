#include "server/http/HttpDocumentStream.h"

#include <cerrno>
#include <cstring>
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
