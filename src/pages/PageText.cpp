#include "pages/PageText.h"

#include <QString>

#include <cstring>

namespace vistrel::pages {

namespace {

// Longest reference decodeCharacterReferences looks at, "&#x10FFFF;" and the like.
constexpr qsizetype kMaxReferenceLength = 12;

template <typename Visit>
void forEachLine(const QByteArray &text, Visit visit)
{
    const char *p = text.constData();
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] != '\r' && p[i] != '\n')
            continue;
        visit(start, i - start);
        if (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        visit(start, n - start);
}

void appendCodePoint(QByteArray &out, char32_t code)
{
    out += QString::fromUcs4(&code, 1).toUtf8();
}

} // namespace

QByteArray toCrLfLines(const QByteArray &text)
{
    const char *begin = text.constData();
    const char *end = begin + text.size();
    if (std::memchr(begin, '\r', size_t(text.size()))) {
        QByteArray out;
        out.reserve(text.size() + text.size() / 16 + 2);
        forEachLine(text, [&](qsizetype start, qsizetype length) {
            out.append(text.constData() + start, length);
            out.append("\r\n", 2);
        });
        return out;
    }
    // Pages come from the engine with line feeds only: a quick copy with
    // each LF widened, sized once.
    qsizetype lines = 0;
    for (const char *p = begin; (p = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)))); ++p)
        ++lines;
    const bool unterminated = text.size() > 0 && end[-1] != '\n';
    QByteArray out(text.size() + lines + (unterminated ? 2 : 0), Qt::Uninitialized);
    char *to = out.data();
    for (const char *from = begin; from < end;) {
        const char *lf = static_cast<const char *>(std::memchr(from, '\n', size_t(end - from)));
        const char *stop = lf ? lf : end;
        std::memcpy(to, from, size_t(stop - from));
        to += stop - from;
        *to++ = '\r';
        *to++ = '\n';
        from = stop + 1;
    }
    return out;
}

QByteArrayList splitLines(const QByteArray &text)
{
    QByteArrayList lines;
    forEachLine(text, [&](qsizetype start, qsizetype length) { lines.append(text.mid(start, length)); });
    return lines;
}

QByteArray decodeCharacterReferences(const QByteArray &text)
{
    if (!text.contains('&'))
        return text;
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype end = text[i] == '&' ? text.indexOf(';', i) : -1;
        if (end < 0 || end - i > kMaxReferenceLength) {
            out += text[i];
            continue;
        }
        const QByteArray name = text.mid(i + 1, end - i - 1);
        bool known = true;
        if (name == "lt")
            out += '<';
        else if (name == "gt")
            out += '>';
        else if (name == "amp")
            out += '&';
        else if (name == "quot")
            out += '"';
        else if (name == "apos")
            out += '\'';
        else if (name == "nbsp")
            appendCodePoint(out, 0xA0);
        else if (name.startsWith('#')) {
            bool ok = false;
            const uint code = (name.startsWith("#x") || name.startsWith("#X")) ? name.mid(2).toUInt(&ok, 16)
                                                                               : name.mid(1).toUInt(&ok, 10);
            known = ok && code > 0 && code <= 0x10FFFF;
            if (known)
                appendCodePoint(out, char32_t(code));
        } else {
            known = false;
        }
        if (known)
            i = end;
        else
            out += text[i];
    }
    return out;
}

} // namespace vistrel::pages
