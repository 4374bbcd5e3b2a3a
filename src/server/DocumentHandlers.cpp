#include "server/DocumentHandlers.h"

#include "platform/ProgramContext.h"
#include "server/PageTitle.h"
#include "server/RequestClock.h"
#include "server/SiteRedirect.h"
#include "server/TMyHttpConnection.h"
#include "server/http/THttpConnection.h"

#include <algorithm>
#include <exception>

namespace vistrel::server {

namespace {

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
    server.SetHandler(this);
}

DocumentHandlers::~DocumentHandlers()
{
    m_server.SetHandler(nullptr);
}

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

void DocumentHandlers::HttpServer1ServerStarted()
{
    emit listeningChanged(true);
    m_context.display.write(QStringLiteral("Server is waiting for connections"));
}

void DocumentHandlers::HttpServer1ServerStopped()
{
    emit listeningChanged(false);
    m_context.display.write(QStringLiteral("Server stopped"));
}

void DocumentHandlers::HttpServer1ClientConnect(THttpConnection &)
{
    emit clientCountChanged(m_server.ClientCount());
}

void DocumentHandlers::HttpServer1ClientDisconnect(THttpConnection &)
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

QString DocumentHandlers::clientAddress(const THttpConnection &client)
{
    if (const auto *own = qobject_cast<const TMyHttpConnection *>(&client))
        return own->ClientAddress();
    return client.PeerAddr();
}

void DocumentHandlers::displayHeaderLines(const THttpConnection &client)
{
    if (!m_context.settings.displayHeader())
        return;
    int i = 0;
    for (const QByteArray &line : client.HeaderLines())
        m_context.display.write(QStringLiteral("HDR%1) %2").arg(++i).arg(text(line)));
}

THttpAnswer DocumentHandlers::HttpServer1GetDocument(THttpConnection &client, THttpAnswer proposed)
{
    const qint32 n = nextRequestNumber();
    m_context.display.write(QStringLiteral("[%1 %2] %3: GET %4")
                                .arg(m_clock.timeOfDay(), clientAddress(client))
                                .arg(n)
                                .arg(text(client.Path())));
    displayHeaderLines(client);
    if (!isSiteRedirect(client.Path()))
        return proposed;
    if (std::optional<QByteArray> answer = siteRedirectAnswer(client.Version(), client.Params()))
        return THttpAnswer::bytes(std::move(*answer));
    return THttpAnswer::refused(400, "The address to go to holds a line break or a zero byte.");
}

THttpAnswer DocumentHandlers::HttpServer1HeadDocument(THttpConnection &client, THttpAnswer proposed)
{
    const qint32 n = nextRequestNumber();
    m_context.display.write(QStringLiteral("%1: HEAD %2").arg(n).arg(text(client.Path())));
    return proposed;
}

THttpAnswer DocumentHandlers::HttpServer1PostDocument(THttpConnection &client)
{
    const qint32 n = nextRequestNumber();
    m_context.display.write(QStringLiteral("%1: POST %2").arg(n).arg(text(client.Path())));
    displayHeaderLines(client);
    auto *own = qobject_cast<TMyHttpConnection *>(&client);
    if (!isFormAddress(client.Path()) || !own)
        return THttpAnswer::notFound();
    const QString refusal = m_guard.refusal({own->ClientAddress(), client.Headers()});
    if (!refusal.isEmpty()) {
        m_context.display.write(QStringLiteral("*** Form refused: %1 ***").arg(refusal));
        return THttpAnswer::forbidden();
    }
    if (!own->BeginPostedData(client.RequestContentLength()))
        return THttpAnswer::forbidden();
    return THttpAnswer::takeBody();
}

THttpAnswer DocumentHandlers::HttpServer1PostedData(THttpConnection &client)
{
    auto *own = qobject_cast<TMyHttpConnection *>(&client);
    if (!own)
        return THttpAnswer::none();
    const qint64 received = own->ReceivePostedData();
    if (received > 0) {
        // The body so far, while it is small; past that each arrival shows
        // only its own bytes, since repeating everything so far would grow
        // with the square of a large form. The lines still hold all of it.
        const QByteArray &posted = own->PostedData();
        const QByteArray shown = posted.size() <= kMaxRepeatedPostedBytes ? posted : posted.last(qsizetype(received));
        m_context.display.write(QStringLiteral("Data: '%1'").arg(text(shown)));
    }
    if (!own->PostedDataComplete())
        return THttpAnswer::takeBody();
    m_forms.push_back({{client.Path(), client.Version(), own->ClientAddress(), own->TakePostedData()}, own});
    // Processed from the event loop rather than inside the connection's own
    // event: processing lets other events run, and the connection may be
    // gone by the time it ends. Never idle meanwhile, however long its form
    // waits for its turn or for a page title.
    QMetaObject::invokeMethod(this, [this] { processNextForm(); }, Qt::QueuedConnection);
    return THttpAnswer::pending();
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
        if (answer.isEmpty())
            pending.client->Answer(THttpAnswer::refused(500, "The form could not be processed."));
        else
            pending.client->Answer(THttpAnswer::bytes(std::move(answer)));
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
