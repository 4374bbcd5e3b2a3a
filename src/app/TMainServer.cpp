// The "Web Server" page: the server's buttons, its client count and its start
// at the first showing. The handlers themselves live in the server subsystem.
#include "app/TMain.h"

#include "app/DeferredLabel.h"
#include "app/QtMessagePresenter.h"
#include "app/TrayStatus.h"
#include "server/DocumentHandlers.h"
#include "server/http/THttpServer.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>

namespace vistrel::app {

namespace {

// Without a screen nobody sees the display or a balloon; whoever started the
// program still needs to know where its pages went.
void tellOnStandardError(const QString &text)
{
    std::fprintf(stderr, "Vistrel: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

void TMain::setUpWebServer()
{
    HttpServer1 = new server::THttpServer(this);
    HttpServer1->setObjectName(QStringLiteral("HttpServer1"));
    m_documents = std::make_unique<server::DocumentHandlers>(m_context, *HttpServer1);

    connect(m_documents.get(), &server::DocumentHandlers::listeningChanged, this, [this](bool listening) {
        PortEdit->setEnabled(!listening);
        StartButton->setEnabled(!listening);
        StopButton->setEnabled(listening);
    });
    m_clientCountText = new DeferredLabel(ClientCountLabel, this);
    connect(m_documents.get(), &server::DocumentHandlers::clientCountChanged, this,
            [this](int count) { m_clientCountText->setText(QString::number(count)); });
    connect(StartButton, &QPushButton::clicked, this, [this] { StartButtonClick(); });
    connect(StopButton, &QPushButton::clicked, this, [this] { StopButtonClick(); });
    connect(this, &TMain::firstShown, this, [this] { StartButtonClick(); });
}

QString TMain::startWebServer(const QString &requestedPort)
{
    const server::ListenOutcome outcome = m_documents->start(requestedPort);
    if (!outcome.listening)
        return {};
    setStartedPort(outcome.port);
    if (outcome.fellBack) {
        // A port asked for on the command line stays a port for this run, wherever it landed.
        if (m_portForThisRun == requestedPort.trimmed())
            m_portForThisRun = outcome.port;
        PortEdit->setText(outcome.port);
        const QString notice = server::fallbackNotice(requestedPort.trimmed(), outcome.port);
        m_display.write(notice);
        m_tray->notice(notice);
        if (!QtMessagePresenter::interactive())
            tellOnStandardError(notice);
    }
    return outcome.port;
}

void TMain::StartButtonClick()
{
    startWebServer(PortEdit->text());
}

void TMain::StopButtonClick()
{
    m_documents->stop();
}

} // namespace vistrel::app
