#include "server/LocalTimeText.h"

namespace vistrel::server {

namespace {

// The first character between two fields of a format: not a field letter and
// not a quote.
QChar firstSeparator(const QString &format, QChar fallback)
{
    bool seenField = false;
    for (QChar c : format) {
        if (c.isLetter()) {
            seenField = true;
            continue;
        }
        if (seenField && c != QLatin1Char('\'') && !c.isSpace())
            return c;
    }
    return fallback;
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QChar timeSeparator(const QLocale &locale)
{
    return firstSeparator(locale.timeFormat(QLocale::ShortFormat), QLatin1Char(':'));
}

QChar dateSeparator(const QLocale &locale)
{
    return firstSeparator(locale.dateFormat(QLocale::ShortFormat), QLatin1Char('/'));
}

QString localTimeText(const QDateTime &local, QStringView pattern, const QLocale &locale)
{
    const QDate date = local.date();
    const QTime time = local.time();
    QString out;
    qsizetype i = 0;
    while (i < pattern.size()) {
        const QStringView rest = pattern.sliced(i);
        if (rest.startsWith(u"YYYY")) {
            out += QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
            i += 4;
            continue;
        }
        struct Field
        {
            const char16_t *name;
            int value;
        };
        const Field fields[] = {{u"MM", date.month()}, {u"DD", date.day()}, {u"HH", time.hour()},
                                {u"NN", time.minute()}, {u"SS", time.second()}};
        bool matched = false;
        for (const Field &f : fields) {
            if (rest.startsWith(QStringView(f.name))) {
                out += twoDigits(f.value);
                i += 2;
                matched = true;
                break;
            }
        }
        if (matched)
            continue;
        const QChar c = pattern[i++];
        if (c == QLatin1Char(':'))
            out += timeSeparator(locale);
        else if (c == QLatin1Char('/'))
            out += dateSeparator(locale);
        else
            out += c;
    }
    return out;
}

} // namespace vistrel::server
