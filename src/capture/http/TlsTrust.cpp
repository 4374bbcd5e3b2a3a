#include "capture/http/TlsTrust.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QSslCertificate>
#include <QSslSocket>
#include <QUrl>

#include <optional>

namespace vistrel::capture::http {

namespace {

constexpr unsigned char kDerSequence = 0x30;
constexpr unsigned char kDerExplicitVersion = 0xA0;
// serial, signature algorithm, issuer, validity, subject: then the key.
constexpr int kFieldsBeforeKey = 5;
// Lengths beyond this many bytes cannot occur in a certificate we accept.
constexpr int kMaxDerLengthBytes = 4;
// "*.com" would stand for a whole top-level domain: a wildcard needs at least
// this many labels after it.
constexpr int kMinLabelsAfterWildcard = 2;

struct DerElement
{
    unsigned char tag = 0;
    qsizetype start = 0;   // of the tag
    qsizetype content = 0; // of the content
    qsizetype end = 0;     // one past the content
};

std::optional<DerElement> readElement(const QByteArray &der, qsizetype at, qsizetype limit)
{
    if (at + 2 > limit)
        return std::nullopt;
    DerElement e;
    e.tag = static_cast<unsigned char>(der[at]);
    e.start = at;
    qsizetype pos = at + 1;
    qsizetype length = static_cast<unsigned char>(der[pos++]);
    if (length & 0x80) {
        const int count = int(length & 0x7F);
        if (count == 0 || count > kMaxDerLengthBytes || pos + count > limit)
            return std::nullopt;
        length = 0;
        for (int i = 0; i < count; ++i)
            length = (length << 8) | static_cast<unsigned char>(der[pos++]);
    }
    if (length < 0 || length > limit - pos)
        return std::nullopt;
    e.content = pos;
    e.end = pos + length;
    return e;
}

// The bundle SSL_CERT_FILE names, read again only when the file changes.
QList<QSslCertificate> bundleFromEnvironment()
{
    static QMutex mutex;
    static QString cachedPath;
    static QDateTime cachedTime;
    static QList<QSslCertificate> cached;

    const QString path = qEnvironmentVariable("SSL_CERT_FILE");
    if (path.isEmpty())
        return {};
    const QDateTime modified = QFileInfo(path).lastModified();
    QMutexLocker lock(&mutex);
    if (path != cachedPath || modified != cachedTime) {
        cached = QSslCertificate::fromPath(path, QSsl::Pem);
        cachedPath = path;
        cachedTime = modified;
    }
    return cached;
}

// The host as certificates spell it: ASCII (punycode), lower case, no final dot.
QString comparableName(const QString &name)
{
    QString ascii = QString::fromLatin1(QUrl::toAce(name)).toLower();
    if (ascii.isEmpty()) // not a valid international name: compared as written
        ascii = name.toLower();
    if (ascii.endsWith(QLatin1Char('.')))
        ascii.chop(1);
    return ascii;
}

} // namespace

QSslConfiguration verifyingTlsConfiguration()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    configuration.setProtocol(QSsl::SecureProtocols);
    if (!qEnvironmentVariableIsEmpty("SSL_CERT_FILE")) {
        // Another bundle replaces the system's, as it does for OpenSSL's own
        // tools; a bundle that cannot be read trusts nothing rather than
        // everything.
        configuration.setCaCertificates(bundleFromEnvironment());
    }
    return configuration;
}

bool dnsNameMatchesHost(const QString &name, const QString &host)
{
    if (!QHostAddress(host).isNull())
        return false;
    const QString pattern = comparableName(name);
    const QString wanted = comparableName(host);
    if (pattern.isEmpty() || wanted.isEmpty())
        return false;
    if (!pattern.startsWith(QLatin1String("*.")))
        return !pattern.contains(QLatin1Char('*')) && pattern == wanted;
    const QString suffix = pattern.mid(1); // ".example.com"
    if (suffix.contains(QLatin1Char('*')) || suffix.count(QLatin1Char('.')) < kMinLabelsAfterWildcard)
        return false;
    // The star stands for exactly one non-empty label.
    return wanted.endsWith(suffix) && wanted.size() > suffix.size()
           && !wanted.left(wanted.size() - suffix.size()).contains(QLatin1Char('.'));
}

bool alternativeNamesAllowHost(const QSslCertificate &certificate, const QString &host)
{
    const auto names = certificate.subjectAlternativeNames();
    const QList<QString> dnsNames = names.values(QSsl::DnsEntry);
    const QList<QString> addresses = names.values(QSsl::IpAddressEntry);
    if (dnsNames.isEmpty() && addresses.isEmpty())
        return true;
    const QHostAddress hostAddress(host);
    if (!hostAddress.isNull()) {
        for (const QString &address : addresses)
            if (QHostAddress(address).isEqual(hostAddress, QHostAddress::StrictConversion))
                return true;
        return false;
    }
    for (const QString &name : dnsNames)
        if (dnsNameMatchesHost(name, host))
            return true;
    return false;
}

QByteArray subjectPublicKeyInfo(const QByteArray &certificateDer)
{
    const auto certificate = readElement(certificateDer, 0, certificateDer.size());
    if (!certificate || certificate->tag != kDerSequence)
        return {};
    const auto tbs = readElement(certificateDer, certificate->content, certificate->end);
    if (!tbs || tbs->tag != kDerSequence)
        return {};
    auto field = readElement(certificateDer, tbs->content, tbs->end);
    if (field && field->tag == kDerExplicitVersion)
        field = readElement(certificateDer, field->end, tbs->end);
    for (int skipped = 0; field && skipped < kFieldsBeforeKey; ++skipped)
        field = readElement(certificateDer, field->end, tbs->end);
    if (!field || field->tag != kDerSequence)
        return {};
    return certificateDer.mid(field->start, field->end - field->start);
}

std::string spkiPin(const QSslCertificate &certificate)
{
    if (certificate.isNull())
        return {};
    const QByteArray spki = subjectPublicKeyInfo(certificate.toDer());
    if (spki.isEmpty())
        return {};
    return QCryptographicHash::hash(spki, QCryptographicHash::Sha256).toBase64().toStdString();
}

} // namespace vistrel::capture::http
