// Serves a folder with the HTTP engine alone, for load tests:
//   vistrel_bench_serve FOLDER PORT [BACKLOG]
#include "server/http/THttpServer.h"

#include <QCoreApplication>
#include <QTextStream>


int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        QTextStream(stderr) << "usage: vistrel_bench_serve FOLDER PORT [BACKLOG]\n";
        return 2;
    }
    vistrel::server::THttpServer server;
    server.setObjectName(QStringLiteral("HttpServer1"));
    server.SetDocDir(args[1]);
    server.SetDefaultDoc(QStringLiteral("viewer.htm"));
    server.SetAddr(QStringLiteral("127.0.0.1"));
    server.SetPort(args[2]);
    if (args.size() > 3)
        server.SetListenBacklog(args[3].toInt());
    if (!server.Start()) {
        QTextStream(stderr) << "cannot listen: " << server.ErrorString() << "\n";
        return 1;
    }
    QTextStream(stdout) << "listening on 127.0.0.1:" << server.ListeningPort() << Qt::endl;
    return app.exec();
}
