#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>

namespace vistrel::server {

// Formats a local date-time after a pattern of "YYYY", "MM", "DD", "HH", "NN"
// and "SS" (minutes are NN, so MM is always the month). A ":" in the pattern is
// written as the locale's time separator and a "/" as its date separator;
// everything else stands as it is.
QString localTimeText(const QDateTime &local, QStringView pattern, const QLocale &locale = QLocale::system());

// The separators the locale's short time and date formats use (":" and "/"
// when a format shows none).
QChar timeSeparator(const QLocale &locale);
QChar dateSeparator(const QLocale &locale);

} // namespace vistrel::server
