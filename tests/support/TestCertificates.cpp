#include "support/TestCertificates.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QTemporaryDir>

namespace vistrel::test {

namespace {

constexpr int kOpensslWaitMs = 30000;
constexpr const char *kNewKey = "-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes";

// A CA database for "openssl ca", the one command of OpenSSL 3.0 that takes
// a start and end date, which an expired certificate needs.
constexpr const char *kCaConfig = "[ca]\ndefault_ca = d\n[d]\ndatabase = index.txt\nnew_certs_dir = .\n"
                                  "certificate = ca.pem\nprivate_key = ca.key\ndefault_md = sha256\n"
                                  "policy = p\nserial = serial\n[p]\ncommonName = supplied\n";

} // namespace

const TestCertificates &TestCertificates::instance()
{
    static const TestCertificates certificates;
    return certificates;
}

QString TestCertificates::name(Kind kind)
{
    switch (kind) {
    case Good:
        return QStringLiteral("good");
    case SelfSigned:
        return QStringLiteral("self");
    case Expired:
        return QStringLiteral("expired");
    case WrongHost:
        return QStringLiteral("wronghost");
    case UnknownCa:
        return QStringLiteral("unknownca");
    case CnOnlyMatches:
        return QStringLiteral("cnonly");
    }
    return {};
}

bool TestCertificates::run(const QString &folder, const QString &command, QByteArray *output)
{
    QProcess shell;
    shell.setWorkingDirectory(folder);
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!shell.waitForFinished(kOpensslWaitMs) || shell.exitStatus() != QProcess::NormalExit || shell.exitCode() != 0) {
        m_error = command + QStringLiteral(": ") + QString::fromLocal8Bit(shell.readAllStandardError());
        return false;
    }
    if (output)
        *output = shell.readAllStandardOutput().trimmed();
    return true;
}

TestCertificates::TestCertificates()
{
    const QString key = QString::fromLatin1(kNewKey);
    const QString leafExt = QStringLiteral("printf 'subjectAltName=%1\\nbasicConstraints=CA:FALSE\\nextendedKeyUsage=serverAuth\\n' > %2.ext");
    auto ca = [&](const QString &file, const QString &cn) {
        return QStringLiteral("openssl req -x509 %1 -keyout %2.key -out %2.pem -days 30 -subj '/CN=%3' "
                              "-addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign")
            .arg(key, file, cn);
    };
    auto request = [&](const QString &file, const QString &cn = QStringLiteral("127.0.0.1")) {
        return QStringLiteral("openssl req -new %1 -keyout %2.key -out %2.csr -subj '/CN=%3'").arg(key, file, cn);
    };
    auto sign = [&](const QString &file, const QString &by) {
        return QStringLiteral("openssl x509 -req -in %1.csr -CA %2.pem -CAkey %2.key -CAcreateserial -days 30 "
                              "-extfile %1.ext -out %1.pem")
            .arg(file, by);
    };
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("ca.cnf")));
    m_ok = dir.isValid() && config.open(QIODevice::WriteOnly) && config.write(kCaConfig) > 0;
    config.close();
    const QStringList steps = {
        ca(QStringLiteral("ca"), QStringLiteral("Vistrel Test CA")),
        ca(QStringLiteral("otherca"), QStringLiteral("Unknown Test CA")),
        leafExt.arg(QStringLiteral("IP:127.0.0.1,DNS:localhost"), QStringLiteral("good")),
        request(QStringLiteral("good")),
        sign(QStringLiteral("good"), QStringLiteral("ca")),
        leafExt.arg(QStringLiteral("DNS:wrong.example"), QStringLiteral("wronghost")),
        request(QStringLiteral("wronghost"), QStringLiteral("wrong.example")),
        sign(QStringLiteral("wronghost"), QStringLiteral("ca")),
        leafExt.arg(QStringLiteral("DNS:other.example"), QStringLiteral("cnonly")),
        request(QStringLiteral("cnonly")),
        sign(QStringLiteral("cnonly"), QStringLiteral("ca")),
        leafExt.arg(QStringLiteral("IP:127.0.0.1,DNS:localhost"), QStringLiteral("unknownca")),
        request(QStringLiteral("unknownca")),
        sign(QStringLiteral("unknownca"), QStringLiteral("otherca")),
        QStringLiteral("openssl req -x509 %1 -keyout self.key -out self.pem -days 30 -subj '/CN=127.0.0.1' "
                       "-addext subjectAltName=IP:127.0.0.1,DNS:localhost")
            .arg(key),
        request(QStringLiteral("expired")),
        QStringLiteral(": > index.txt && echo 01 > serial && openssl ca -config ca.cnf -batch -notext "
                       "-startdate 20200101000000Z -enddate 20200201000000Z -in expired.csr -out expired.pem "
                       "-extfile good.ext"),
    };
    for (const QString &step : steps) {
        if (!m_ok)
            break;
        m_ok = run(dir.path(), step);
    }
    QFile caFile(dir.filePath(QStringLiteral("ca.pem")));
    m_ok = m_ok && caFile.open(QIODevice::ReadOnly);
    m_caPem = m_ok ? caFile.readAll() : QByteArray();
    for (Kind kind : {Good, SelfSigned, Expired, WrongHost, UnknownCa, CnOnlyMatches}) {
        if (!m_ok)
            break;
        const QString base = dir.filePath(name(kind));
        const QList<QSslCertificate> chain = QSslCertificate::fromPath(base + QStringLiteral(".pem"));
        QFile keyFile(base + QStringLiteral(".key"));
        m_ok = !chain.isEmpty() && keyFile.open(QIODevice::ReadOnly);
        if (!m_ok) {
            m_error = base + QStringLiteral(": unreadable");
            break;
        }
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificateChain(chain);
        configuration.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Ec));
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        m_servers.insert(kind, configuration);
        QByteArray pin;
        m_ok = run(dir.path(),
                   QStringLiteral("openssl x509 -in %1.pem -pubkey -noout | openssl pkey -pubin -outform der "
                                  "| openssl dgst -sha256 -binary | base64")
                       .arg(name(kind)),
                   &pin);
        m_pins.insert(kind, pin.toStdString());
    }
}

TrustTestCa::TrustTestCa()
    : m_saved(qgetenv("SSL_CERT_FILE")), m_wasSet(qEnvironmentVariableIsSet("SSL_CERT_FILE"))
{
    if (m_bundle.open()) {
        m_bundle.write(TestCertificates::instance().caPem());
        m_bundle.flush();
    }
    qputenv("SSL_CERT_FILE", m_bundle.fileName().toLocal8Bit());
}

TrustTestCa::~TrustTestCa()
{
    if (m_wasSet)
        qputenv("SSL_CERT_FILE", m_saved);
    else
        qunsetenv("SSL_CERT_FILE");
}

} // namespace vistrel::test
