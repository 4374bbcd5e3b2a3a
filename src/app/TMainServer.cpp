// The "Web Server" page: the server's buttons, its client count and its start
// at the first showing. The handlers themselves live in the server subsystem.
#include "app/TMain.h"

#include "app/DeferredLabel.h"

#include "server/DocumentHandlers.h"
#include "server/http/THttpServer.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vistrel::app {

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

void TMain::StartButtonClick()
{
    const QString port = PortEdit->text().trimmed();
    if (m_documents->start(port))
        setStartedPort(port);
}

void TMain::StopButtonClick()
{
    m_documents->stop();
}

} // namespace vistrel::app
