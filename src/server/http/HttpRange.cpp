#include "server/http/HttpRange.h"

#include "server/http/HttpLimits.h"

#include <limits>

namespace vistrel::server {

namespace {

// Decimal digits only; nothing for an empty text, a sign or an overflow.
std::optional<qint64> parsePosition(QByteArrayView text)
{
    if (text.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        if (value > (std::numeric_limits<qint64>::max() - (c - '0')) / 10)
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

void THttpRangeList::clear()
{
    m_items.clear();
    m_tooMany = false;
}

THttpRangeList THttpRangeList::parse(QByteArrayView value)
{
    THttpRangeList list;
    constexpr QByteArrayView unit("bytes=");
    if (value.size() < unit.size() || QByteArrayView(value.first(unit.size())).compare(unit, Qt::CaseInsensitive) != 0)
        return list;
    const QByteArrayView rest = value.sliced(unit.size());
    qsizetype start = 0;
    int count = 0;
    while (start <= rest.size()) {
        qsizetype comma = rest.indexOf(',', start);
        if (comma < 0)
            comma = rest.size();
        const QByteArrayView item = rest.sliced(start, comma - start).trimmed();
        start = comma + 1;
        const qsizetype dash = item.indexOf('-');
        if (dash < 0)
            continue;
        const QByteArrayView firstText = item.first(dash).trimmed();
        const QByteArrayView lastText = item.sliced(dash + 1).trimmed();
        if (firstText.isEmpty() && lastText.isEmpty())
            continue;
        THttpRange range;
        if (!firstText.isEmpty()) {
            const auto first = parsePosition(firstText);
            if (!first)
                continue;
            range.First = *first;
        }
        if (!lastText.isEmpty()) {
            const auto last = parsePosition(lastText);
            if (!last)
                continue;
            range.Last = *last;
        }
        if (++count > limits::kMaxRanges) {
            list.m_tooMany = true;
            list.m_items.clear();
            return list;
        }
        list.m_items.append(range);
    }
    return list;
}

std::optional<QList<THttpByteSpan>> THttpRangeList::resolve(qint64 size) const
{
    if (m_tooMany)
        return std::nullopt;
    QList<THttpByteSpan> spans;
    for (const THttpRange &range : m_items) {
        THttpByteSpan span;
        if (range.First < 0) {
            span.Start = size - range.Last;
            span.End = size - 1;
        } else {
            span.Start = range.First;
            span.End = range.Last < 0 ? size - 1 : range.Last;
        }
        if (span.Start < 0 || span.Start > size || span.End > size - 1 || span.End < span.Start)
            return std::nullopt;
        spans.append(span);
    }
    return spans;
}

} // namespace vistrel::server
