#include "server/DocumentHandlers.h"

#include "platform/ProgramContext.h"
#include "server/PageTitle.h"
#include "server/RequestClock.h"
#include "server/SiteRedirect.h"
#include "server/TMyHttpConnection.h"
#include "server/http/HttpAnswers.h"
#include "server/http/THttpConnection.h"


#include <algorithm>
#include <exception>

namespace vistrel::server {

namespace {

constexpr int kDiscardChunk = 255;
// A posted body up to this size is shown whole at each arrival of its bytes.
constexpr qsizetype kMaxRepeatedPostedBytes = 64 * 1024;

QString text(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes);
}

} // namespace

DocumentHandlers::DocumentHandlers(platform::ProgramContext &context, THttpServer &server, QObject *parent)
    : QObject(parent), m_context(context), m_server(server)
{
    m_factory = [] { return static_cast<THttpConnection *>(new TMyHttpConnection); };
    // Direct connections: the document events hand the answer choice over by reference.
    connect(&server, &THttpServer::OnServerStarted, this, [this] { serverStarted(); }, Qt::DirectConnection);
    connect(&server, &THttpServer::OnServerStopped, this, [this] { serverStopped(); }, Qt::DirectConnection);
    connect(&server, &THttpServer::OnClientConnect, this,
            [this](THttpServer *, THttpConnection *client, int) { clientConnect(client); }, Qt::DirectConnection);
    connect(&server, &THttpServer::OnClientDisconnect, this,
            [this](THttpServer *, THttpConnection *client, int) { clientDisconnect(client); }, Qt::DirectConnection);
    connect(&server, &THttpServer::OnGetDocument, this,
            [this](THttpServer *, THttpConnection *client, THttpGetFlag &flag) { getDocument(client, flag); },
            Qt::DirectConnection);
    connect(&server, &THttpServer::OnHeadDocument, this,
            [this](THttpServer *, THttpConnection *client, THttpGetFlag &flag) { headDocument(client, flag); },
            Qt::DirectConnection);
    connect(&server, &THttpServer::OnPostDocument, this,
            [this](THttpServer *, THttpConnection *client, THttpGetFlag &flag) { postDocument(client, flag); },
            Qt::DirectConnection);
    connect(&server, &THttpServer::OnPostedData, this,
            [this](THttpServer *, THttpConnection *client, int) { postedData(client); }, Qt::DirectConnection);
}

DocumentHandlers::~DocumentHandlers() = default;

void DocumentHandlers::setConnectionFactory(THttpServer::ClientFactory factory)
{
    if (factory)
        m_factory = std::move(factory);
}

ListenOutcome DocumentHandlers::start(const QString &portText)
{
    QString docDir = m_context.paths.dataFolder;
    if (docDir.endsWith(QLatin1Char('/')))
        docDir.chop(1);
    m_server.SetDocDir(docDir);
    m_server.SetDefaultDoc(QString::fromLatin1(kDefaultDoc));
    m_server.SetClientFactory(m_factory);
    m_server.SetAddr(QString::fromLatin1(kListenAddress));
    m_server.SetListenBacklog(kListenBacklog);
    m_server.SetMaxClients(0);
    const ListenOutcome outcome = listenWithFallback(m_server, portText);
    if (!outcome.listening)
        m_context.messages.show(
            platform::MessagePresenter::Kind::Error,
            QStringLiteral("Unable to start internal Web server. Try choosing a different Web Server Port."));
    return outcome;
}

void DocumentHandlers::stop()
{
    m_server.Stop();
}

void DocumentHandlers::serverStarted()
{
    emit listeningChanged(true);
    m_context.display.write(QStringLiteral("Server is waiting for connections"));
}

void DocumentHandlers::serverStopped()
{
    emit listeningChanged(false);
    m_context.display.write(QStringLiteral("Server stopped"));
}

void DocumentHandlers::clientConnect(THttpConnection *)
{
    emit clientCountChanged(m_server.ClientCount());
}

void DocumentHandlers::clientDisconnect(THttpConnection *)
{
    // The leaving client is still counted while this runs.
    emit clientCountChanged(m_server.ClientCount() - 1);
}

qint32 DocumentHandlers::nextRequestNumber()
{
    // Wraps like the 32-bit counter it is, never reset.
    m_requests = qint32(quint32(m_requests) + 1u);
    return m_requests;
}

QString DocumentHandlers::clientAddress(const THttpConnection *client)
{
    if (const auto *own = qobject_cast<const TMyHttpConnection *>(client))
        return own->ClientAddress();
    return client->PeerAddr();
}

void DocumentHandlers::displayHeaderLines(const THttpConnection *client)
{
    if (!m_context.settings.displayHeader())
        return;
    int i = 0;
    for (const QByteArray &line : client->HeaderLines())
        m_context.display.write(QStringLiteral("HDR%1) %2").arg(++i).arg(text(line)));
}

void DocumentHandlers::getDocument(THttpConnection *client, THttpGetFlag &flag)
{
    const qint32 n = nextRequestNumber();
    m_context.display.write(QStringLiteral("[%1 %2] %3: GET %4")
                                .arg(m_clock.timeOfDay(), clientAddress(client))
                                .arg(n)
                                .arg(text(client->Path())));
    displayHeaderLines(client);
    if (!isSiteRedirect(client->Path()))
        return;
    flag = THttpGetFlag::HandlerAnswers;
    const std::optional<QByteArray> answer = siteRedirectAnswer(client->Version(), client->Params());
    if (answer) {
        client->SetResponseData(*answer);
        client->SendStream();
        return;
    }
    const answers::BuiltIn refused =
        answers::refused(client->Version(), 400, "The address to go to holds a line break or a zero byte.");
    client->SetResponseData(refused.Header + refused.Body);
    client->SendStream();
    client->Close();
}

void DocumentHandlers::headDocument(THttpConnection *client, THttpGetFlag &)
{
    const qint32 n = nextRequestNumber();
    m_context.display.write(QStringLiteral("%1: HEAD %2").arg(n).arg(text(client->Path())));
}

void DocumentHandlers::postDocument(THttpConnection *client, THttpGetFlag &flag)
{
    const qint32 n = nextRequestNumber();
    m_context.display.write(QStringLiteral("%1: POST %2").arg(n).arg(text(client->Path())));
    displayHeaderLines(client);
    if (!isFormAddress(client->Path())) {
        flag = THttpGetFlag::Answer404;
        return;
    }
    auto *own = qobject_cast<TMyHttpConnection *>(client);
    if (!own) {
        flag = THttpGetFlag::Answer404;
        return;
    }
    const QString refusal = m_guard.refusal({own->ClientAddress(), client->HeaderLines()});
    if (!refusal.isEmpty()) {
        m_context.display.write(QStringLiteral("*** Form refused: %1 ***").arg(refusal));
        flag = THttpGetFlag::Answer403;
        return;
    }
    if (!own->BeginPostedData(client->RequestContentLength())) {
        flag = THttpGetFlag::Answer403;
        return;
    }
    flag = THttpGetFlag::AcceptPostedData;
}

void DocumentHandlers::postedData(THttpConnection *client)
{
    auto *own = qobject_cast<TMyHttpConnection *>(client);
    if (!own)
        return;
    if (own->PostedLength() - own->PostedCount() <= 0) {
        char discard[kDiscardChunk];
        client->Receive(discard, sizeof discard);
    } else {
        const qint64 received = own->ReceivePostedData();
        if (received <= 0)
            return;
        // The body so far, while it is small; past that each arrival shows
        // only its own bytes, since repeating everything so far would grow
        // with the square of a large form. The lines still hold all of it.
        const QByteArray &posted = own->PostedData();
        const QByteArray shown = posted.size() <= kMaxRepeatedPostedBytes ? posted : posted.last(qsizetype(received));
        m_context.display.write(QStringLiteral("Data: '%1'").arg(text(shown)));
    }
    if (!own->PostedDataComplete() || own->PostedDataTaken())
        return;
    own->SetPostedDataTaken();
    if (!isFormAddress(client->Path())) {
        client->Answer404();
        return;
    }
    // Never idle while its form waits for its turn or for a page title.
    client->AwaitAnswer();
    m_forms.push_back({{client->Path(), client->Version(), own->ClientAddress(), own->TakePostedData()}, own});
    // Processed from the event loop rather than inside the connection's own
    // event: processing lets other events run, and the connection may be
    // gone by the time it ends.
    QMetaObject::invokeMethod(this, [this] { processNextForm(); }, Qt::QueuedConnection);
}

void DocumentHandlers::processNextForm()
{
    if (m_processing || m_forms.empty())
        return;
    m_processing = true;
    PendingForm pending = std::move(m_forms.front());
    m_forms.pop_front();

    QByteArray answer;
    try {
        FormProcessor processor(m_context, [this](const std::string &url) { return fetchTitle(url); });
        answer = processor.process(pending.form);
    } catch (const std::exception &e) {
        m_context.display.write(QStringLiteral("*** The form could not be processed: %1 ***").arg(QString::fromUtf8(e.what())));
    } catch (...) {
        m_context.display.write(QStringLiteral("*** The form could not be processed ***"));
    }
    if (pending.client) {
        if (answer.isEmpty()) {
            const answers::BuiltIn failed =
                answers::refused(pending.form.version, 500, "The form could not be processed.");
            pending.client->SetResponseData(failed.Header + failed.Body);
            pending.client->SendStream();
            pending.client->Close();
        } else {
            pending.client->SetResponseData(answer);
            pending.client->SendStream();
        }
    }
    m_processing = false;
    emit formAnswered();
    if (!m_forms.empty())
        QMetaObject::invokeMethod(this, [this] { processNextForm(); }, Qt::QueuedConnection);
}

std::string DocumentHandlers::fetchTitle(const std::string &url) const
{
    if (m_fetchTitle)
        return m_fetchTitle(url);
    const int seconds = std::clamp(m_context.settings.fetchTimeout(), 1, kMaxTitleFetchSeconds);
    return pageTitle(url, seconds, kMaxTitleFetchSeconds, m_server.ListeningPort(), m_context.settings.secure());
}

} // namespace vistrel::server
