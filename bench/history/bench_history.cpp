// Generates a Firefox history of many URLs (visit counts following a Zipf law)
// in a temporary HOME, then times loading it into the URL cache and walking
// every entry, and prints the peak memory of the process. Then it runs the
// whole history pass over the same history, in which 100 sites of a loopback
// server pass the threshold and are captured (with the card pictures that
// stand in for a browser), and prints its time and peak memory.
//
//     bench_history [URL count]      (default 500000)

#include "support/HistoryTitleSite.h"

#include "capture/CaptureCall.h"
#include "capture/CaptureServices.h"
#include "capture/http/HttpClient.h"
#include "catalogue/HistoryPass.h"
#include "catalogue/HistoryUrlCache.h"
#include "catalogue/RefreshDriver.h"
#include "pages/PageSet.h"
#include "platform/PrivateTempFolder.h"
#include "platform/urlcache/UrlCache.h"
#include "platform/urlcache/UrlCacheEnumeration.h"
#include "support/HistoryFixtures.h"
#include "support/TestContext.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <malloc.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <random>

using namespace vistrel;

namespace {

constexpr int kDefaultUrls = 500000;
constexpr double kZipfExponent = 1.0;
constexpr double kTopVisits = 20000.0;   // visits of the most visited URL
constexpr int kUntitledEvery = 7;         // every seventh page has no title
constexpr int kSites = 20000;
constexpr int kLookupEvery = 10; // one look-up per so many entries
constexpr int kGeneratorCacheKilobytes = 512 * 1024; // keeps index pages in memory while generating
constexpr int kSuggestedSites = 100;
constexpr int kSuggestedVisits = 50; // well above the default threshold of 10
constexpr int kSiteTimeoutSeconds = 5;

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// The process's peak resident memory since the last resetPeak(), from /proc.
double highWaterMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return peakMegabytes();
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return peakMegabytes();
}

// Lets the pass's own peak be measured after the first part has freed its memory.
bool resetPeak()
{
    ::malloc_trim(0);
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

std::string suggestedPath(int n)
{
    return "/suggested/" + std::to_string(n) + ".html";
}

void generate(const QString &path, int count, const test::HistoryTitleSite &site)
{
    std::mt19937 random(2024);
    // Ranks are shuffled so the most visited URLs are spread over the table.
    std::vector<int> ranks(static_cast<std::size_t>(count));
    std::iota(ranks.begin(), ranks.end(), 1);
    std::shuffle(ranks.begin(), ranks.end(), random);
    std::uniform_int_distribution<std::int64_t> age(0, std::int64_t(365) * 24 * 3600 * 1000000);
    const std::int64_t now = test::firefoxTime(QDateTime::currentDateTimeUtc());

    // The sites of the loopback server stand at evenly spread places of the table.
    const int spacing = std::max(1, count / kSuggestedSites);
    int suggested = 0;

    test::HistoryWriter writer(test::HistoryWriter::Browser::Firefox, path, test::HistoryWriter::Journal::Wal);
    writer.file().exec("PRAGMA cache_size = -" + std::to_string(kGeneratorCacheKilobytes));
    for (int i = 0; i < count; ++i) {
        if (i % spacing == 0 && suggested < kSuggestedSites) {
            writer.add({site.url(suggestedPath(suggested)), "Site " + std::to_string(suggested), kSuggestedVisits,
                        now - age(random)});
            ++suggested;
        }
        const int rank = ranks[std::size_t(i)];
        const int site = int(random() % kSites);
        test::HistoryVisit visit;
        visit.url = "https://www.site" + std::to_string(site) + ".example/articles/" + std::to_string(i)
                    + "/page-" + std::to_string(random() % 100000) + ".html?ref=home";
        if (i % kUntitledEvery != 0)
            visit.title = "Article " + std::to_string(i) + " on site " + std::to_string(site)
                          + " - News & Reviews";
        visit.visitCount = std::max<std::int64_t>(1, std::int64_t(kTopVisits / std::pow(rank, kZipfExponent)));
        visit.lastVisit = now - age(random);
        writer.add(visit);
    }
    writer.commit();
}

// The history pass as the program runs it, over the history already written.
struct PassFigures
{
    double loadSeconds = 0;
    double passSeconds = 0;
    int suggestions = 0;
    int images = 0;
    double peakMegabytes = 0;
};

PassFigures runHistoryPass(test::TestContext &t)
{
    // No browser: every capture draws the card that stands in for a thumbnail.
    qputenv("VISTREL_BROWSER", "/nonexistent/vistrel-bench-browser");
    t.settings.fetchTimeoutValue = kSiteTimeoutSeconds;

    catalogue::RefreshDriver driver(t.context);
    catalogue::HistoryUrlCache history(t.context);
    capture::defaultCaptureServices().urlCache = &history;
    driver.setCaptureFunction([&t](const QString &path, const QString &name, bool isHistory, std::string &link) {
        return capture::runCapture(t.context, path, name, isHistory, link);
    });
    pages::PageSet pageSet(t.paths.dataFolder, "80", false);
    catalogue::HistoryPass pass(t.context, driver, history, pageSet);

    PassFigures figures;
    QElapsedTimer timer;
    timer.start();
    history.snapshot();
    figures.loadSeconds = timer.elapsed() / 1000.0;
    timer.restart();
    pass.run();
    figures.passSeconds = timer.elapsed() / 1000.0;
    figures.peakMegabytes = highWaterMegabytes();
    capture::defaultCaptureServices().urlCache = nullptr;

    QXmlStreamReader reader(test::readAll(t.paths.dataFolder + "history.xml"));
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != QLatin1String("Link"))
            continue;
        ++figures.suggestions;
        const QString image = reader.attributes().value("IMAGE").toString().replace('\\', '/');
        figures.images += !image.isEmpty() && QFile::exists(t.paths.dataFolder + image);
    }
    if (reader.hasError())
        figures.suggestions = -1;
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultUrls;

    test::TestContext t;
    test::writeAll(t.home.file(".mozilla/firefox/profiles.ini"), "[Profile0]\nName=default\nIsRelative=1\nPath=bench.default\n");
    const QString places = t.home.file(".mozilla/firefox/bench.default/places.sqlite");
    test::HistoryTitleSite site;
    for (int n = 0; n < kSuggestedSites; ++n)
        site.page(QByteArray::fromStdString(suggestedPath(n)), "Site " + QByteArray::number(n));
    const std::size_t expectedEntries = std::size_t(count) + std::size_t(std::min(count, kSuggestedSites));

    QElapsedTimer timer;
    timer.start();
    // In a child process, so the generator's page cache stays out of the figures.
    const pid_t child = fork();
    if (child == 0) {
        generate(places, count, site);
        _exit(0);
    }
    int status = 1;
    if (child < 0 || waitpid(child, &status, 0) != child || status != 0) {
        std::fprintf(stderr, "generating the history failed\n");
        return 2;
    }
    const double generateSeconds = timer.elapsed() / 1000.0;
    const double startPeak = peakMegabytes();

    std::size_t entries = 0;
    std::size_t problemCount = 0;
    {
        platform::PrivateTempFolder temp;
        platform::UrlCache cache(temp);
        timer.restart();
        problemCount = cache.load().size();
        const double loadSeconds = timer.elapsed() / 1000.0;

        timer.restart();
        std::uint64_t visits = 0;
        std::size_t passing = 0;
        platform::UrlCacheEnumeration walk(cache);
        for (auto entry = walk.first(); entry; entry = walk.next()) {
            ++entries;
            visits += entry->hitRate;
            if (entry->hitRate > 10 && (entry->entryType & platform::URLHISTORY_CACHE_ENTRY))
                ++passing;
        }
        walk.close();
        const double walkSeconds = timer.elapsed() / 1000.0;

        // Half the look-ups name a URL with a fragment to strip, half one that is absent.
        std::vector<std::string> asked;
        platform::UrlCacheEnumeration sample(cache);
        std::size_t index = 0;
        for (auto entry = sample.first(); entry; entry = sample.next(), ++index) {
            if (index % kLookupEvery == 0)
                asked.push_back(entry->url + (asked.size() % 2 == 0 ? "#fragment" : "/absent"));
        }
        timer.restart();
        std::size_t found = 0;
        for (const std::string &url : asked)
            found += cache.visitCount(url) > 0;
        const double lookupSeconds = timer.elapsed() / 1000.0;

        std::printf("history URLs generated     %zu (%.1f MB database, %.1f s)\n", expectedEntries,
                    double(QFileInfo(places).size()) / (1024.0 * 1024.0), generateSeconds);
        std::printf("load (copy + read + merge) %.2f s, %zu problems\n", loadSeconds, problemCount);
        std::printf("walk of every entry        %.2f s, %zu entries, %llu visits, %zu above 10\n", walkSeconds,
                    entries, static_cast<unsigned long long>(visits), passing);
        std::printf("look-ups                   %.3f s for %zu (%zu found)\n", lookupSeconds, asked.size(), found);
        std::printf("peak memory                %.1f MB (%.1f MB before loading)\n", peakMegabytes(), startPeak);
    }

    const bool peakReset = resetPeak();
    const quint64 requestsBefore = capture::http::HttpClient::totalRequests();
    const PassFigures pass = runHistoryPass(t);
    std::printf("history pass               %.2f s reading the history, then %.2f s for the pass\n",
                pass.loadSeconds, pass.passSeconds);
    std::printf("                           %d suggestions, %d with their picture, %llu requests to the site\n",
                pass.suggestions, pass.images,
                static_cast<unsigned long long>(capture::http::HttpClient::totalRequests() - requestsBefore));
    std::printf("peak memory of the pass    %.1f MB%s\n", pass.peakMegabytes,
                peakReset ? "" : " (whole run: the peak could not be reset)");
    return problemCount == 0 && entries == expectedEntries && pass.suggestions == std::min(count, kSuggestedSites)
                   && pass.images == pass.suggestions
               ? 0
               : 1;
}
