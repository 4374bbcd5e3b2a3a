#include "capture/PageText.h"

#include "capture/http/HttpResponseParser.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace vistrel::capture {

namespace {

// A <meta> declaration has to come early in the document to count.
constexpr qsizetype kCharsetScanBytes = 64 * 1024;

std::string charsetParameter(std::string_view text)
{
    static const QRegularExpression pattern(QStringLiteral("charset\\s*=\\s*[\"']?([A-Za-z0-9._:-]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto match = pattern.match(QLatin1StringView(text.data(), qsizetype(text.size())));
    return match.hasMatch() ? match.captured(1).toLower().toStdString() : std::string();
}

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)decoder.decode(bytes);
    return !decoder.hasError();
}

} // namespace

QByteArray titleBytes(const QByteArray &body)
{
    const QByteArray lower = body.toLower();
    const qsizetype open = lower.indexOf(QByteArrayView("<title>"));
    if (open < 0)
        return {};
    const qsizetype start = open + 7;
    const qsizetype close = lower.indexOf(QByteArrayView("</title>"), start);
    if (close < 0)
        return {};
    return body.mid(start, close - start);
}

std::string declaredCharset(const std::vector<std::string> &headerLines, const QByteArray &body)
{
    std::string contentType;
    if (http::HttpResponseParser::headerValue(headerLines, "Content-Type", contentType)) {
        const std::string charset = charsetParameter(contentType);
        if (!charset.empty())
            return charset;
    }
    static const QRegularExpression meta(QStringLiteral("<meta\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    const QByteArray head = body.left(kCharsetScanBytes);
    const QString text = QString::fromLatin1(head);
    auto it = meta.globalMatch(text);
    while (it.hasNext()) {
        const QByteArray tag = it.next().captured(0).toLatin1();
        const std::string charset = charsetParameter(std::string_view(tag.constData(), std::size_t(tag.size())));
        if (!charset.empty())
            return charset;
    }
    return {};
}

std::string toUtf8(const QByteArray &bytes, const std::string &charset)
{
    if (!charset.empty()) {
        QStringDecoder decoder(charset.c_str());
        if (decoder.isValid())
            return QString(decoder.decode(bytes)).toStdString();
    }
    if (isValidUtf8(bytes))
        return bytes.toStdString();
    QStringDecoder western("windows-1252");
    if (western.isValid())
        return QString(western.decode(bytes)).toStdString();
    return QString::fromLatin1(bytes).toStdString();
}

} // namespace vistrel::capture
