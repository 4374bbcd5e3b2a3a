#pragma once

#include <QMap>
#include <QSslConfiguration>
#include <QString>
#include <QTemporaryFile>

#include <string>

namespace vistrel::test {

// A test CA and one server certificate for each way a secure site can be
// wrong, made with the openssl command line in a temporary folder, once per
// test program, and kept in memory (a test's temporary folder does not
// outlive the test). Every certificate is for 127.0.0.1 unless its kind says
// not.
class TestCertificates
{
public:
    // CnOnlyMatches names 127.0.0.1 in its subject but other.example in its
    // alternative names, which are the only names that count.
    enum Kind { Good, SelfSigned, Expired, WrongHost, UnknownCa, CnOnlyMatches };

    // The shared set; ok() is false when openssl is missing or failed.
    static const TestCertificates &instance();

    bool ok() const { return m_ok; }
    const QString &error() const { return m_error; }
    // The test CA in PEM.
    const QByteArray &caPem() const { return m_caPem; }
    QSslConfiguration server(Kind kind) const { return m_servers.value(kind); }
    // The key pin of a certificate, as openssl itself works it out.
    std::string opensslPin(Kind kind) const { return m_pins.value(kind); }

private:
    TestCertificates();
    bool run(const QString &folder, const QString &command, QByteArray *output = nullptr);
    static QString name(Kind kind);

    bool m_ok = false;
    QString m_error;
    QByteArray m_caPem;
    QMap<Kind, QSslConfiguration> m_servers;
    QMap<Kind, std::string> m_pins;
};

// Points SSL_CERT_FILE at a file holding the test CA alone, for its lifetime.
class TrustTestCa
{
public:
    TrustTestCa();
    ~TrustTestCa();
    TrustTestCa(const TrustTestCa &) = delete;
    TrustTestCa &operator=(const TrustTestCa &) = delete;

private:
    QByteArray m_saved;
    bool m_wasSet;
    QTemporaryFile m_bundle;
};

} // namespace vistrel::test
