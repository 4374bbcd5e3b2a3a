#pragma once

#include <QByteArray>
#include <QSslConfiguration>
#include <QString>

#include <string>

class QSslCertificate;

namespace vistrel::capture::http {

// The TLS settings of every secure request: the peer must present a chain
// that verifies against the system's trust store, or against the bundle that
// SSL_CERT_FILE names (the usual way to supply another one), for the host
// asked for.
QSslConfiguration verifyingTlsConfiguration();

// Whether the certificate is for the host, judged as browsers judge it: when
// it carries DNS or IP alternative names, one of them must match and the
// subject's common name no longer counts (the TLS library still accepts a
// matching common name alone). Without such names the library's own check
// stands, so this returns true.
bool alternativeNamesAllowHost(const QSslCertificate &certificate, const QString &host);

// One DNS alternative name against a host name: equal ignoring case and a
// final dot, or a "*" standing for the whole first label of a name with at
// least two labels after it. Never true for an IP address.
bool dnsNameMatchesHost(const QString &name, const QString &host);

// Base64 of the SHA-256 of the certificate's SubjectPublicKeyInfo, the form a
// browser takes as a key pin; empty when the certificate cannot be read.
std::string spkiPin(const QSslCertificate &certificate);

// The DER SubjectPublicKeyInfo inside a DER certificate; empty when malformed.
// Read from the certificate itself because QSslKey holds no Ed25519 key (its
// public key comes back null), and such a site must still get its pin.
QByteArray subjectPublicKeyInfo(const QByteArray &certificateDer);

} // namespace vistrel::capture::http
