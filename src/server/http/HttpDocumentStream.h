#pragma once

#include "server/http/HttpAnswers.h"

#include <QIODevice>

namespace vistrel::server {

// The body of a document answer: file spans and literal pieces (multipart
// headers) read in order, straight from the file, so a large file never sits
// in memory. Owns the file descriptor. A file that shrinks under it is an
// error, not a short answer.
class HttpDocumentStream : public QIODevice
{
    Q_OBJECT
public:
    HttpDocumentStream(int fd, QList<answers::DocumentPlan::Piece> pieces, qint64 size, QObject *parent = nullptr);
    ~HttpDocumentStream() override;

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_remaining + QIODevice::bytesAvailable(); }
    void close() override;

    // Whether the next bytes come from the file itself.
    bool atFileSpan() const;
    // Sends up to `maxSize` file bytes of the current span straight to
    // `socket`; the count, 0 when the file ended early (an error), or -1 with
    // errno set.
    qint64 sendFileTo(int socket, qint64 maxSize);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    int m_fd;
    QList<answers::DocumentPlan::Piece> m_pieces;
    qsizetype m_piece = 0;
    qint64 m_offset = 0;   // within the current piece
    qint64 m_remaining;
};

} // namespace vistrel::server
