#pragma once

#include <QByteArray>
#include <QSslConfiguration>

#include <string>

class QSslCertificate;

namespace vistrel::capture::http {

// The TLS settings of every secure request: the peer must present a chain
// that verifies against the system's trust store, or against the bundle that
// SSL_CERT_FILE names (the usual way to supply another one), for the host
// asked for.
QSslConfiguration verifyingTlsConfiguration();

// Base64 of the SHA-256 of the certificate's SubjectPublicKeyInfo, the form a
// browser takes as a key pin; empty when the certificate cannot be read.
std::string spkiPin(const QSslCertificate &certificate);

// The DER SubjectPublicKeyInfo inside a DER certificate; empty when malformed.
QByteArray subjectPublicKeyInfo(const QByteArray &certificateDer);

} // namespace vistrel::capture::http
