#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace vistrel::server {

// A request's header lines as received, with each line's name looked up
// without regard to case. The name is the text before the line's first colon
// exactly ("Host : x" names "Host ", not "Host"); the value is what follows
// the colon and the spaces after it. Built once per request, as the lines
// arrive; lines without a colon are kept but name nothing.
class HttpHeaders
{
public:
    void append(QByteArray line);
    void clear();

    const QList<QByteArray> &lines() const { return m_lines; }
    qsizetype size() const { return m_lines.size(); }

    bool contains(QByteArrayView name) const { return indexOf(name, 0) >= 0; }
    // The value of the last line with this name, as a later line overrides an
    // earlier one; null when there is none.
    QByteArrayView value(QByteArrayView name) const;
    // Every value of this name, in order.
    QList<QByteArrayView> values(QByteArrayView name) const;

private:
    struct Entry
    {
        qsizetype nameLength = -1; // -1: the line has no colon
        qsizetype valueStart = 0;
    };
    qsizetype indexOf(QByteArrayView name, qsizetype from) const;
    QByteArrayView valueAt(qsizetype index) const;

    QList<QByteArray> m_lines;
    QList<Entry> m_entries;
};

} // namespace vistrel::server
