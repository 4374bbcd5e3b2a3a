#pragma once

#include "support/HistoryTitleSite.h"

#include "capture/CardThumbnailer.h"
#include "capture/CaptureCall.h"
#include "catalogue/HistoryPass.h"
#include "catalogue/HistoryUrlCache.h"
#include "catalogue/RefreshDriver.h"
#include "pages/PageSet.h"
#include "support/HistoryFixtures.h"
#include "support/TestContext.h"

#include <QDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <functional>

namespace vistrel::test {

// Every status text a pass shows, in order.
struct StatusLog : test::RecordingStatus
{
    QStringList texts;
    void setStatus(const QString &text) override
    {
        texts << text;
        RecordingStatus::setStatus(text);
    }
};

// One suggestion as "history.xml" holds it.
struct Suggestion
{
    QString description;
    QString url;   // PID_IS_URL
    QString image; // IMAGE
};

struct ParsedHistory
{
    bool wellFormed = false;
    std::vector<Suggestion> links;
    QStringList descriptions() const
    {
        QStringList out;
        for (const Suggestion &s : links)
            out << s.description;
        return out;
    }
};

// A temporary HOME with browser histories, a loopback site of titled pages,
// and the history pass wired as the program wires it, with card pictures
// instead of a browser.
class HistoryPassFixture : public ::testing::Test
{
protected:
    TestContext t;
    StatusLog status;
    platform::ProgramContext context{t.settings, status, t.messages, t.display, t.trace,
                                     t.flags,    t.paths, t.registry, t.tempFolder};
    HistoryTitleSite site;
    catalogue::RefreshDriver driver{context};
    catalogue::HistoryUrlCache cache{context};
    pages::PageSet pageSet{t.paths.dataFolder, "80", false};
    capture::CardThumbnailer cards;
    capture::CaptureServices services{&cache, &cards, nullptr};
    catalogue::HistoryPass pass{context, driver, cache, pageSet};
    // Runs around every capture, before it.
    std::function<void(const QString &path, const QString &name)> beforeCapture;

    HistoryPassFixture()
    {
        t.settings.fetchTimeoutValue = 5;
        t.settings.serverPortValue = QStringLiteral("80");
        driver.setCaptureFunction([this](const QString &path, const QString &name, bool isHistory, std::string &link) {
            if (beforeCapture)
                beforeCapture(path, name);
            return capture::runCaptureWith(context, services, path, name, isHistory, link);
        });
        driver.setHistoryPass([this] { pass.run(); });
        driver.setOtherListsClearer([this] { cache.release(); });
    }

    std::string url(const std::string &path) const { return site.url(path); }

    void firefox(const std::vector<HistoryVisit> &visits, const QString &profile = QStringLiteral("test.default"))
    {
        writeAll(t.home.file(".mozilla/firefox/profiles.ini"),
                 "[Profile0]\nName=default\nIsRelative=1\nPath=" + profile.toUtf8() + "\n");
        writeFirefoxPlaces(t.home.file(".mozilla/firefox/" + profile + "/places.sqlite"), visits);
    }
    void chromium(const std::vector<HistoryVisit> &visits)
    {
        QDir().mkpath(t.home.file(".config/chromium/Default"));
        writeChromiumHistory(t.home.file(".config/chromium/Default/History"), visits);
    }
    void favourite(const QString &name, const std::string &target)
    {
        writeAll(t.paths.favoritesFolder + "/" + name + ".url",
                 QByteArray("[InternetShortcut]\r\nURL=") + target.c_str() + "\r\n");
    }

    QByteArray historyXml() const { return readAll(t.paths.dataFolder + "history.xml"); }
    QByteArray historyHtm() const { return readAll(t.paths.dataFolder + "history.htm"); }

    ParsedHistory parsed() const
    {
        ParsedHistory out;
        QXmlStreamReader reader(historyXml());
        while (!reader.atEnd()) {
            if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != QLatin1String("Link"))
                continue;
            const QXmlStreamAttributes a = reader.attributes();
            out.links.push_back({a.value("DESCRIPTION").toString(), a.value("PID_IS_URL").toString(),
                                 a.value("IMAGE").toString()});
        }
        out.wellFormed = !reader.hasError();
        return out;
    }

    QString imageFile(const Suggestion &s) const
    {
        return t.paths.dataFolder + QString(s.image).replace(QLatin1Char('\\'), QLatin1Char('/'));
    }

    QStringList temporaryShortcuts() const
    {
        return QDir(t.tempFolder.path()).entryList({QStringLiteral("*.URL"), QStringLiteral("*.url")}, QDir::Files);
    }
};

} // namespace vistrel::test
