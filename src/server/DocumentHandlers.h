#pragma once

#include "server/PortFallback.h"
#include "server/PostGuard.h"
#include "server/RequestClock.h"
#include "server/editor/FormProcessor.h"
#include "server/http/THttpHandler.h"
#include "server/http/THttpServer.h"

#include <QObject>
#include <QPointer>

#include <deque>

namespace vistrel::platform {
struct ProgramContext;
}

namespace vistrel::server {

class THttpConnection;
class TMyHttpConnection;

// The program's side of the web server: starts and stops it, counts and
// shows the requests, answers "/site=" itself and takes the forms the pages
// post. The window shows its state through the signals.
class DocumentHandlers : public QObject, private THttpHandler
{
    Q_OBJECT
public:
    static constexpr char kDefaultDoc[] = "viewer.htm";
    static constexpr char kListenAddress[] = "0.0.0.0";
    // Larger than the classic 5: with many clients connecting at once (a browser
    // opening a frame set, or a page reloading in several tabs) a short queue makes
    // the refused ones wait for connection retries, for seconds each.
    static constexpr int kListenBacklog = 128;
    // A page title is fetched for at most this long, HEAD and GET together,
    // within the site time-out: the browser that posted waits for the report.
    static constexpr int kMaxTitleFetchSeconds = 20;

    DocumentHandlers(platform::ProgramContext &context, THttpServer &server, QObject *parent = nullptr);
    ~DocumentHandlers() override;

    // Configures the server and starts listening on the port (blanks around it
    // ignored), or on a fallback port when that one needs rights the program
    // lacks; on failure the error box, and the server stays stopped.
    ListenOutcome start(const QString &portText);
    void stop();

    // GET, HEAD and POST requests so far.
    qint32 requestCount() const { return m_requests; }

    // The class of new connections; TMyHttpConnection unless set.
    void setConnectionFactory(THttpServer::ClientFactory factory);
    void setTitleFetch(TitleFetch fetch) { m_fetchTitle = std::move(fetch); }
    void setPostGuard(const PostGuard &guard) { m_guard = guard; }

signals:
    void listeningChanged(bool listening);
    void clientCountChanged(int count);
    // A form post has been processed and answered (or its client had gone).
    void formAnswered();

private:
    struct PendingForm
    {
        PostedForm form;
        QPointer<TMyHttpConnection> client;
    };

    // The server's events, each to the handler named after the server.
    void OnServerStarted() override { HttpServer1ServerStarted(); }
    void OnServerStopped() override { HttpServer1ServerStopped(); }
    void OnClientConnect(THttpConnection &client) override { HttpServer1ClientConnect(client); }
    void OnClientDisconnect(THttpConnection &client) override { HttpServer1ClientDisconnect(client); }
    THttpAnswer OnGetDocument(THttpConnection &client, THttpAnswer proposed) override
    {
        return HttpServer1GetDocument(client, std::move(proposed));
    }
    THttpAnswer OnHeadDocument(THttpConnection &client, THttpAnswer proposed) override
    {
        return HttpServer1HeadDocument(client, std::move(proposed));
    }
    THttpAnswer OnPostDocument(THttpConnection &client, THttpAnswer) override { return HttpServer1PostDocument(client); }
    THttpAnswer OnPostedData(THttpConnection &client) override { return HttpServer1PostedData(client); }

    void HttpServer1ServerStarted();
    void HttpServer1ServerStopped();
    void HttpServer1ClientConnect(THttpConnection &client);
    void HttpServer1ClientDisconnect(THttpConnection &client);
    THttpAnswer HttpServer1GetDocument(THttpConnection &client, THttpAnswer proposed);
    THttpAnswer HttpServer1HeadDocument(THttpConnection &client, THttpAnswer proposed);
    THttpAnswer HttpServer1PostDocument(THttpConnection &client);
    THttpAnswer HttpServer1PostedData(THttpConnection &client);
    void processNextForm();

    qint32 nextRequestNumber();
    void displayHeaderLines(const THttpConnection &client);
    static QString clientAddress(const THttpConnection &client);
    std::string fetchTitle(const std::string &url) const;

    platform::ProgramContext &m_context;
    THttpServer &m_server;
    THttpServer::ClientFactory m_factory;
    TitleFetch m_fetchTitle;
    PostGuard m_guard;
    qint32 m_requests = 0;
    RequestClock m_clock;
    // Posts are processed one after another: one may wait for a page title
    // while the next arrives.
    std::deque<PendingForm> m_forms;
    bool m_processing = false;
};

} // namespace vistrel::server
