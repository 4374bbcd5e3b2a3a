#include "catalogue/bookmarks/NetscapeBookmarks.h"


#include <vector>

namespace vistrel::catalogue {

namespace {

// Longest character reference looked at, "&#x10FFFF;" and the named ones included.
constexpr qsizetype kMaxReferenceBytes = 10;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

struct Tag
{
    QByteArray name; // lower case, without "/"
    bool closing = false;
    std::vector<std::pair<QByteArray, QByteArrayView>> attributes; // names in lower case

    QByteArrayView attribute(const char *wanted) const
    {
        for (const auto &[name, value] : attributes)
            if (name == wanted)
                return value;
        return {};
    }
    bool flag(const char *wanted) const { return attribute(wanted).compare("true", Qt::CaseInsensitive) == 0; }
};

// Reads the tag that starts at html[pos] == '<'; false when it never ends.
bool readTag(const QByteArray &html, qsizetype &pos, Tag &tag)
{
    const qsizetype n = html.size();
    qsizetype i = pos + 1;
    if (i < n && html[i] == '/') {
        tag.closing = true;
        ++i;
    }
    const qsizetype nameStart = i;
    while (i < n && isNameChar(html[i]))
        ++i;
    tag.name = html.mid(nameStart, i - nameStart).toLower();
    while (i < n && html[i] != '>') {
        if (isSpace(html[i]) || html[i] == '/') {
            ++i;
            continue;
        }
        const qsizetype attrStart = i;
        while (i < n && !isSpace(html[i]) && html[i] != '=' && html[i] != '>')
            ++i;
        QByteArray name = html.mid(attrStart, i - attrStart).toLower();
        while (i < n && isSpace(html[i]))
            ++i;
        QByteArrayView value;
        if (i < n && html[i] == '=') {
            ++i;
            while (i < n && isSpace(html[i]))
                ++i;
            if (i < n && (html[i] == '"' || html[i] == '\'')) {
                const char quote = html[i];
                const qsizetype end = html.indexOf(quote, i + 1);
                if (end < 0)
                    return false;
                value = QByteArrayView(html).sliced(i + 1, end - i - 1);
                i = end + 1;
            } else {
                const qsizetype valueStart = i;
                while (i < n && !isSpace(html[i]) && html[i] != '>')
                    ++i;
                value = QByteArrayView(html).sliced(valueStart, i - valueStart);
            }
        }
        tag.attributes.emplace_back(std::move(name), value);
    }
    if (i >= n)
        return false;
    pos = i + 1;
    return true;
}

// Where the closing tag of name (any letter case) begins at or after pos; the
// end when there is none.
qsizetype closingTag(const QByteArray &html, qsizetype pos, const QByteArray &name)
{
    for (qsizetype at = html.indexOf("</", pos); at >= 0; at = html.indexOf("</", at + 2)) {
        const QByteArrayView rest = QByteArrayView(html).sliced(at + 2);
        if (rest.size() >= name.size() && rest.first(name.size()).compare(name, Qt::CaseInsensitive) == 0)
            return at;
    }
    return html.size();
}

void appendCodePoint(QString &out, uint code)
{
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    const char32_t c = code;
    out += QString::fromUcs4(&c, 1);
}

// What a text or attribute value in the file stands for, blanks collapsed.
QString cleanText(QByteArrayView raw)
{
    return NetscapeBookmarks::decodeText(raw).simplified();
}

} // namespace

QString NetscapeBookmarks::decodeText(QByteArrayView text)
{
    QString out;
    qsizetype done = 0;
    qsizetype amp;
    while ((amp = text.indexOf('&', done)) >= 0) {
        out += QString::fromUtf8(text.sliced(done, amp - done));
        const qsizetype semi = text.indexOf(';', amp);
        done = amp + 1;
        if (semi < 0 || semi - amp > kMaxReferenceBytes) {
            out += QLatin1Char('&');
            continue;
        }
        const QByteArrayView name = text.sliced(amp + 1, semi - amp - 1);
        bool ok = false;
        if (name.startsWith('#')) {
            const QByteArrayView digits = name.sliced(1);
            const uint code = digits.startsWith('x') || digits.startsWith('X') ? digits.sliced(1).toUInt(&ok, 16)
                                                                                : digits.toUInt(&ok, 10);
            if (ok)
                appendCodePoint(out, code);
        } else {
            static const std::pair<const char *, char16_t> kNamed[] = {
                {"amp", u'&'}, {"lt", u'<'}, {"gt", u'>'}, {"quot", u'"'}, {"apos", u'\''}, {"nbsp", u' '}};
            for (const auto &[entity, character] : kNamed) {
                if (name == entity) {
                    out += QChar(character);
                    ok = true;
                    break;
                }
            }
        }
        if (ok)
            done = semi + 1;
        else
            out += QLatin1Char('&');
    }
    out += QString::fromUtf8(text.sliced(done));
    return out;
}

std::optional<BookmarkTree> NetscapeBookmarks::read(const QString &htmlPath, QString &error)
{
    const std::optional<QByteArray> bytes = readBookmarkFile(htmlPath, error);
    return bytes ? parse(*bytes, error) : std::nullopt;
}

std::optional<BookmarkTree> NetscapeBookmarks::parse(const QByteArray &html, QString &error)
{
    enum class Capture { None, Link, FolderTitle };

    BookmarkTree tree;
    // The folders of the lists open now; the bottom one takes whatever stands outside every list.
    std::vector<int> lists{BookmarkTree::kFavorites};
    bool sawList = false;
    Capture capture = Capture::None;
    QByteArray captured;
    QByteArray href;
    Tag folderTag;
    int folderForNextList = -1;

    const auto finishCapture = [&] {
        if (capture == Capture::Link) {
            tree.addLink(lists.back(), cleanText(captured), cleanText(href).toUtf8());
        } else if (capture == Capture::FolderTitle) {
            // The toolbar and "other" folders of a browser's own export go back to
            // their places; anywhere deeper they are ordinary folders.
            const bool topLevel = lists.size() <= 2;
            if (topLevel && folderTag.flag("personal_toolbar_folder"))
                folderForNextList = BookmarkTree::kToolbar;
            else if (topLevel && folderTag.flag("unfiled_bookmarks_folder"))
                folderForNextList = BookmarkTree::kFavorites;
            else
                folderForNextList = tree.addFolder(lists.back(), cleanText(captured));
        }
        capture = Capture::None;
        captured.clear();
    };

    const qsizetype n = html.size();
    qsizetype pos = 0;
    while (pos < n) {
        if (html[pos] != '<') {
            const qsizetype next = html.indexOf('<', pos);
            const qsizetype end = next < 0 ? n : next;
            if (capture != Capture::None)
                captured += QByteArrayView(html).sliced(pos, end - pos);
            pos = end;
            continue;
        }
        if (QByteArrayView(html).sliced(pos).startsWith("<!--")) {
            const qsizetype end = html.indexOf("-->", pos + 4);
            pos = end < 0 ? n : end + 3;
            continue;
        }
        if (pos + 1 < n && (html[pos + 1] == '!' || html[pos + 1] == '?')) {
            const qsizetype end = html.indexOf('>', pos);
            pos = end < 0 ? n : end + 1;
            continue;
        }
        Tag tag;
        qsizetype after = pos;
        if (!readTag(html, after, tag))
            break; // a tag cut off at the end: what came before it stands
        if (tag.name.isEmpty()) {
            // A "<" that opens no tag is text.
            if (capture != Capture::None)
                captured += '<';
            ++pos;
            continue;
        }
        pos = after;

        if (tag.name == "a" && tag.closing) {
            if (capture == Capture::Link)
                finishCapture();
            continue;
        }
        if (tag.name == "h3" && tag.closing) {
            if (capture == Capture::FolderTitle)
                finishCapture();
            continue;
        }
        // Markup inside a title (such as <b>) is dropped; any entry or list tag
        // ends an unclosed one.
        const bool structural = tag.name == "a" || tag.name == "h3" || tag.name == "dl" || tag.name == "dt"
                                || tag.name == "hr" || tag.name == "dd" || tag.name == "script"
                                || tag.name == "style" || tag.name == "h1";
        if (!structural)
            continue;
        finishCapture();

        if (tag.name == "script" || tag.name == "style") {
            if (!tag.closing)
                pos = closingTag(html, pos, tag.name);
            continue;
        }
        if (tag.name == "dl") {
            if (tag.closing) {
                if (lists.size() > 1)
                    lists.pop_back();
            } else {
                sawList = true;
                lists.push_back(folderForNextList >= 0 ? folderForNextList : lists.back());
            }
            folderForNextList = -1;
            continue;
        }
        if (tag.closing)
            continue;
        // A folder without a list of its own stays empty.
        if (tag.name == "a" || tag.name == "h3" || tag.name == "hr")
            folderForNextList = -1;
        if (tag.name == "a") {
            capture = Capture::Link;
            href = tag.attribute("href").toByteArray();
        } else if (tag.name == "h3") {
            capture = Capture::FolderTitle;
            folderTag = tag;
        } else if (tag.name == "hr") {
            tree.skip();
        }
    }
    finishCapture();

    if (!sawList && tree.links().empty()) {
        error = QStringLiteral("not a bookmark file: it holds no bookmark list");
        return std::nullopt;
    }
    return tree;
}

} // namespace vistrel::catalogue
