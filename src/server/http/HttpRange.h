#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

namespace vistrel::server {

// One item of a "Range:" value; -1 marks a position the client left out.
struct THttpRange
{
    qint64 First = -1;
    qint64 Last = -1;
    bool operator==(const THttpRange &) const = default;
};

// A resolved, satisfiable byte span of a document: Start to End inclusive.
struct THttpByteSpan
{
    qint64 Start = 0;
    qint64 End = 0;
    qint64 size() const { return End - Start + 1; }
    bool operator==(const THttpByteSpan &) const = default;
};

class THttpRangeList
{
public:
    // Parses a "Range:" value ("bytes=0-9,20-"). Items that are not numbers are
    // skipped; another unit than bytes leaves the list empty.
    static THttpRangeList parse(QByteArrayView value);

    bool isEmpty() const { return m_items.isEmpty() && !m_tooMany; }
    const QList<THttpRange> &items() const { return m_items; }
    bool tooMany() const { return m_tooMany; }
    void clear();

    // The spans for a document of `size` bytes, or nothing when the request
    // cannot be satisfied (416).
    std::optional<QList<THttpByteSpan>> resolve(qint64 size) const;

private:
    QList<THttpRange> m_items;
    bool m_tooMany = false;
};

} // namespace vistrel::server
