#include "server/editor/FormRecord.h"

#include "server/http/HttpAnswers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
           + "\r\n" + answers::kPageSafetyHeaders + "\r\n" + body;
}

bool writeFormValues(const QString &path, const std::vector<std::string_view> &pieces)
{
    // Written piece by piece and replaced in one step, so a large form is
    // not copied once more.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const std::string_view piece : pieces) {
        if (file.write(piece.data(), qint64(piece.size())) != qint64(piece.size()) || file.write("\r\n", 2) != 2) {
            file.cancelWriting();
            return false;
        }
    }
    return file.commit();
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
