#pragma once

#include "server/http/THttpConnection.h"

#include <QByteArray>
#include <QString>

#include <utility>

namespace vistrel::server {

// The program's own client connection: it keeps the body of an accepted form
// post until the whole of it has arrived.
class TMyHttpConnection : public THttpConnection
{
    Q_OBJECT
public:
    explicit TMyHttpConnection(QObject *parent = nullptr);
    ~TMyHttpConnection() override;

    // Makes room for a body of `length` bytes and forgets any earlier one.
    // False when the length is negative or above the engine's posted-body
    // limit; nothing is kept then.
    bool BeginPostedData(qint64 length);
    // Reads what has arrived, never beyond the announced length; returns the
    // number of bytes added (0 or less when none).
    qint64 ReceivePostedData();
    const QByteArray &PostedData() const { return m_posted; }
    // Hands the body over without copying it; the connection keeps none.
    QByteArray TakePostedData() { return std::exchange(m_posted, QByteArray()); }
    qint64 PostedCount() const { return m_postedCount; }
    qint64 PostedLength() const { return m_postedLength; }
    bool PostedDataComplete() const { return m_postedCount == m_postedLength; }

    // The address the post guard and the form record see; the peer's address.
    virtual QString ClientAddress() const { return PeerAddr(); }

private:
    QByteArray m_posted;
    qint64 m_postedLength = 0;
    qint64 m_postedCount = 0;
};

} // namespace vistrel::server
