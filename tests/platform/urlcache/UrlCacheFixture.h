#pragma once

#include "platform/PrivateTempFolder.h"
#include "support/HistoryFixtures.h"
#include "platform/urlcache/UrlCache.h"
#include "platform/urlcache/UrlCacheEnumeration.h"
#include "support/TestSupport.h"

#include <QDir>

#include <gtest/gtest.h>

namespace vistrel::test {

// A temporary HOME with browser profiles written into it, and a URL cache that
// reads them through its own private temporary folder.
class UrlCacheFixture : public ::testing::Test
{
protected:
    TempHome home;
    platform::PrivateTempFolder temp; // made after HOME, so it lies inside it
    platform::UrlCache cache{temp, "alice"};

    QString firefoxProfile(const QString &relative) const { return home.file(".mozilla/firefox/" + relative); }
    QString firefoxPlaces(const QString &profile) const { return firefoxProfile(profile + "/places.sqlite"); }
    QString chromiumHistory(const QString &browser, const QString &profile) const
    {
        return home.file(".config/" + browser + "/" + profile + "/History");
    }
    void writeProfilesIni(const QByteArray &text) const
    {
        writeAll(home.file(".mozilla/firefox/profiles.ini"), text);
    }
    // A profiles.ini with one relative profile per name.
    void listFirefoxProfiles(const QStringList &names) const
    {
        QByteArray text = "[General]\nStartWithLastProfile=1\nVersion=2\n\n";
        for (qsizetype i = 0; i < names.size(); ++i)
            text += "[Profile" + QByteArray::number(i) + "]\nName=p" + QByteArray::number(i)
                    + "\nIsRelative=1\nPath=" + names[i].toUtf8() + "\n\n";
        writeProfilesIni(text);
    }

    std::vector<platform::UrlCacheEntry> enumerateAll() const
    {
        std::vector<platform::UrlCacheEntry> entries;
        platform::UrlCacheEnumeration walk(cache);
        for (auto entry = walk.first(); entry; entry = walk.next())
            entries.push_back(*entry);
        walk.close();
        return entries;
    }
    QStringList problemTexts() const
    {
        QStringList texts;
        for (const auto &problem : cache.problems())
            texts.append(problem.text());
        return texts;
    }
    bool tempFolderIsEmpty() const
    {
        return QDir(temp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty();
    }
};

} // namespace vistrel::test
