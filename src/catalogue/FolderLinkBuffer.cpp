#include "catalogue/FolderLinkBuffer.h"

#include "catalogue/ListingDocument.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QString>

#include <algorithm>
#include <numeric>

namespace vistrel::catalogue {

namespace {

// Case is folded here as well as asked of the collator: the collator of the
// "C" locale compares code points and would otherwise keep case.
QString toText(std::string_view key)
{
    return QString::fromUtf8(key.data(), qsizetype(key.size())).toCaseFolded();
}

QString withoutWordSortMarks(QString text)
{
    text.remove(QLatin1Char('-'));
    text.remove(QLatin1Char('\''));
    return text;
}

int sign(int value)
{
    return (value > 0) - (value < 0);
}

} // namespace

struct SortKeyOrder::Private
{
    QCollator collator;
};

SortKeyOrder::SortKeyOrder() : d(new Private)
{
    d->collator.setCaseSensitivity(Qt::CaseInsensitive);
}

SortKeyOrder::~SortKeyOrder()
{
    delete d;
}

int SortKeyOrder::compare(std::string_view a, std::string_view b) const
{
    const QString ta = toText(a), tb = toText(b);
    if (const int c = d->collator.compare(withoutWordSortMarks(ta), withoutWordSortMarks(tb)))
        return sign(c);
    if (const int c = d->collator.compare(ta, tb))
        return sign(c);
    // Keys equal to the collation still come out in one fixed order.
    return sign(a.compare(b));
}

std::vector<std::size_t> SortKeyOrder::order(const std::vector<std::string_view> &keys, bool descending) const
{
    // Collation keys once per item rather than a collation per comparison.
    struct Prepared
    {
        QCollatorSortKey word, whole;
        std::string_view bytes;
    };
    std::vector<Prepared> prepared;
    prepared.reserve(keys.size());
    for (std::string_view key : keys) {
        const QString text = toText(key);
        prepared.push_back({d->collator.sortKey(withoutWordSortMarks(text)), d->collator.sortKey(text), key});
    }
    const auto before = [&](std::size_t x, std::size_t y) {
        const Prepared &a = prepared[x], &b = prepared[y];
        if (const int c = a.word.compare(b.word))
            return c < 0;
        if (const int c = a.whole.compare(b.whole))
            return c < 0;
        return a.bytes < b.bytes;
    };
    std::vector<std::size_t> positions(keys.size());
    std::iota(positions.begin(), positions.end(), std::size_t{0});
    if (descending)
        std::sort(positions.begin(), positions.end(), [&](std::size_t x, std::size_t y) { return before(y, x); });
    else
        std::sort(positions.begin(), positions.end(), before);
    return positions;
}

void FolderLinkBuffer::add(std::string key, std::string linkText)
{
    m_items.push_back({std::move(key), std::move(linkText)});
}

void FolderLinkBuffer::clear()
{
    m_items.clear();
    m_items.shrink_to_fit();
}

void FolderLinkBuffer::flushInto(ListingDocument &listing, SortMode mode)
{
    std::vector<std::string_view> keys;
    keys.reserve(m_items.size());
    for (const Item &item : m_items)
        keys.push_back(item.key);
    const SortKeyOrder comparison;
    for (std::size_t i : comparison.order(keys, mode == SortMode::DateDescending))
        listing.addLine(std::move(m_items[i].linkText));
    clear();
}

} // namespace vistrel::catalogue
