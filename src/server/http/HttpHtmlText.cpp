#include "server/http/HttpHtmlText.h"

#include <QString>

namespace vistrel::server {

namespace {

// HTML 4 names of the ISO 8859-1 characters 160 to 255.
constexpr const char *kLatin1Entities[96] = {
    "nbsp", "iexcl", "cent", "pound", "curren", "yen", "brvbar", "sect",
    "uml", "copy", "ordf", "laquo", "not", "shy", "reg", "macr",
    "deg", "plusmn", "sup2", "sup3", "acute", "micro", "para", "middot",
    "cedil", "sup1", "ordm", "raquo", "frac14", "frac12", "frac34", "iquest",
    "Agrave", "Aacute", "Acirc", "Atilde", "Auml", "Aring", "AElig", "Ccedil",
    "Egrave", "Eacute", "Ecirc", "Euml", "Igrave", "Iacute", "Icirc", "Iuml",
    "ETH", "Ntilde", "Ograve", "Oacute", "Ocirc", "Otilde", "Ouml", "times",
    "Oslash", "Ugrave", "Uacute", "Ucirc", "Uuml", "Yacute", "THORN", "szlig",
    "agrave", "aacute", "acirc", "atilde", "auml", "aring", "aelig", "ccedil",
    "egrave", "eacute", "ecirc", "euml", "igrave", "iacute", "icirc", "iuml",
    "eth", "ntilde", "ograve", "oacute", "ocirc", "otilde", "ouml", "divide",
    "oslash", "ugrave", "uacute", "ucirc", "uuml", "yacute", "thorn", "yuml",
};

} // namespace

QByteArray escapeHtmlText(QByteArrayView text)
{
    const QString decoded = QString::fromUtf8(text);
    QByteArray out;
    out.reserve(text.size() + 16);
    bool afterSpace = false;
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        const char32_t c = decoded.at(i).unicode();
        const bool space = c == ' ';
        switch (c) {
        case '&': out.append("&amp;"); break;
        case '<': out.append("&lt;"); break;
        case '>': out.append("&gt;"); break;
        case '"': out.append("&#34;"); break;
        case '\'': out.append("&#39;"); break;
        case '\t': out.append("&nbsp;"); break;
        case '\n': out.append("\n<BR>"); break;
        case ' ': out.append(afterSpace ? "&nbsp;" : " "); break;
        default:
            if (c >= 160 && c <= 255) {
                out.append('&').append(kLatin1Entities[c - 160]).append(';');
            } else if (c < 128) {
                out.append(char(c));
            } else {
                // Everything else passes through as UTF-8, surrogate pairs whole.
                qsizetype length = 1;
                if (decoded.at(i).isHighSurrogate() && i + 1 < decoded.size() && decoded.at(i + 1).isLowSurrogate())
                    length = 2;
                out.append(QStringView(decoded).sliced(i, length).toUtf8());
                i += length - 1;
            }
        }
        afterSpace = space;
    }
    return out;
}

} // namespace vistrel::server
