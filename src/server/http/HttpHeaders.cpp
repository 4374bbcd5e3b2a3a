#include "server/http/HttpHeaders.h"

namespace vistrel::server {

void HttpHeaders::append(QByteArray line)
{
    Entry entry;
    const qsizetype colon = line.indexOf(':');
    if (colon >= 0) {
        entry.nameLength = colon;
        entry.valueStart = colon + 1;
        while (entry.valueStart < line.size() && line[entry.valueStart] == ' ')
            ++entry.valueStart;
    }
    m_lines.append(std::move(line));
    m_entries.append(entry);
}

void HttpHeaders::clear()
{
    // Keeps the capacity: the next request on the connection reuses it.
    m_lines.clear();
    m_entries.clear();
}

qsizetype HttpHeaders::indexOf(QByteArrayView name, qsizetype from) const
{
    for (qsizetype i = from; i < m_entries.size(); ++i) {
        const Entry &entry = m_entries[i];
        if (entry.nameLength == name.size()
            && QByteArrayView(m_lines[i]).first(entry.nameLength).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QByteArrayView HttpHeaders::valueAt(qsizetype index) const
{
    return QByteArrayView(m_lines[index]).sliced(m_entries[index].valueStart);
}

QByteArrayView HttpHeaders::value(QByteArrayView name) const
{
    QByteArrayView found;
    for (qsizetype i = indexOf(name, 0); i >= 0; i = indexOf(name, i + 1))
        found = valueAt(i);
    return found;
}

QList<QByteArrayView> HttpHeaders::values(QByteArrayView name) const
{
    QList<QByteArrayView> found;
    for (qsizetype i = indexOf(name, 0); i >= 0; i = indexOf(name, i + 1))
        found.append(valueAt(i));
    return found;
}

} // namespace vistrel::server
