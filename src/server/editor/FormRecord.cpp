#include "server/editor/FormRecord.h"

#include "platform/AtomicFile.h"

#include <QFile>

namespace vistrel::server {

std::string formRecordLine(const QDateTime &local, int resultCount, const QString &clientAddress,
                           const std::vector<std::string> &reportLines)
{
    std::string line = local.toString(QStringLiteral("yyyyMMdd HHmmss ")).toStdString();
    line += "there were " + std::to_string(resultCount) + " results from" + clientAddress.toStdString()
            + "<br>Action taken : ";
    for (const std::string &report : reportLines)
        line += report + "\r\n";
    return line;
}

QByteArray formReportAnswer(const QByteArray &version, const std::string &recordLine)
{
    QByteArray body = "<HTML><HEAD><TITLE>Vistrel Reporter</TITLE></HEAD>\r\n"
                      "<BODY background=\"_back.jpg\"><H2>Your data has been recorded:</H2>\r\n"
                      "<P>";
    body += QByteArray::fromStdString(recordLine);
    body += "</P><FORM><INPUT TYPE=\"button\" VALUE=\"Back to Vistrel\" onClick=\"history.go(-1)\"></FORM>"
            "</BODY></HTML>\r\n";
    return version + " 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size())
           + "\r\n\r\n" + body;
}

bool writeFormValues(const QString &path, const std::vector<std::string> &pieces)
{
    QByteArray text;
    for (const std::string &piece : pieces) {
        text += QByteArray::fromStdString(piece);
        text += "\r\n";
    }
    return platform::writeFileAtomically(path, text);
}

bool appendFormRecord(const QString &path, const std::string &recordLine)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray bytes = QByteArray::fromStdString(recordLine);
    return file.write(bytes) == bytes.size() && file.flush();
}

} // namespace vistrel::server
