#pragma once

#include <QString>

namespace vistrel::platform {

// The two families of history database the URL cache reads.
enum class HistoryFormat {
    FirefoxPlaces,   // places.sqlite: moz_places, times in microseconds since 1970
    ChromiumHistory, // History: urls, times in microseconds since 1601
};

// One browser profile's history database.
struct HistoryDatabase
{
    HistoryFormat format;
    QString path;     // the database file (it may be missing)
    QString profile;  // the profile's folder, for messages
};

} // namespace vistrel::platform
