#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <string>
#include <vector>

namespace vistrel::server {

// The record of one form post: "YYYYMMDD HHNNSS there were N results from"
// + the client's address + "<br>Action taken : " + each report line with CR LF.
std::string formRecordLine(const QDateTime &local, int resultCount, const QString &clientAddress,
                           const std::vector<std::string> &reportLines);

// The answer to a form post: header and report page, byte for byte.
QByteArray formReportAnswer(const QByteArray &version, const std::string &recordLine);

// "values.log": the posted pieces one a line, as received; replaced whole.
bool writeFormValues(const QString &path, const std::vector<std::string_view> &pieces);
// "CgiFrm1.txt": the record line appended as it is, the file made when missing.
bool appendFormRecord(const QString &path, const std::string &recordLine);

} // namespace vistrel::server
