#include "pages/LocalAddressFixup.h"

namespace vistrel::pages {

QByteArray fixUpLocalAddresses(const QByteArray &text, const QByteArray &port)
{
    static const QByteArray kLocal("http://localhost/");
    const QByteArray replacement = "http://localhost:" + port + "/";
    QByteArray out;
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(kLocal); at >= 0; at = text.indexOf(kLocal, from)) {
        if (out.isEmpty())
            out.reserve(text.size() + 64);
        out.append(text.constData() + from, at - from);
        out.append(replacement);
        from = at + kLocal.size();
    }
    if (from == 0)
        return text;
    out.append(text.constData() + from, text.size() - from);
    return out;
}

} // namespace vistrel::pages
