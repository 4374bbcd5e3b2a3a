// Generates a Firefox history of many URLs (visit counts following a Zipf law)
// in a temporary HOME, then times loading it into the URL cache and walking
// every entry, and prints the peak memory of the process.
//
//     bench_history [URL count]      (default 500000)

#include "platform/PrivateTempFolder.h"
#include "platform/urlcache/HistoryFixtures.h"
#include "platform/urlcache/UrlCache.h"
#include "platform/urlcache/UrlCacheEnumeration.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

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

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

void generate(const QString &path, int count)
{
    std::mt19937 random(2024);
    // Ranks are shuffled so the most visited URLs are spread over the table.
    std::vector<int> ranks(static_cast<std::size_t>(count));
    std::iota(ranks.begin(), ranks.end(), 1);
    std::shuffle(ranks.begin(), ranks.end(), random);
    std::uniform_int_distribution<std::int64_t> age(0, std::int64_t(365) * 24 * 3600 * 1000000);
    const std::int64_t now = test::firefoxTime(QDateTime::currentDateTimeUtc());

    test::HistoryWriter writer(test::HistoryWriter::Browser::Firefox, path, test::HistoryWriter::Journal::Wal);
    writer.file().exec("PRAGMA cache_size = -" + std::to_string(kGeneratorCacheKilobytes));
    for (int i = 0; i < count; ++i) {
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultUrls;

    test::TempHome home;
    test::writeAll(home.file(".mozilla/firefox/profiles.ini"), "[Profile0]\nName=default\nIsRelative=1\nPath=bench.default\n");
    const QString places = home.file(".mozilla/firefox/bench.default/places.sqlite");

    QElapsedTimer timer;
    timer.start();
    // In a child process, so the generator's page cache stays out of the figures.
    const pid_t child = fork();
    if (child == 0) {
        generate(places, count);
        _exit(0);
    }
    int status = 1;
    if (child < 0 || waitpid(child, &status, 0) != child || status != 0) {
        std::fprintf(stderr, "generating the history failed\n");
        return 2;
    }
    const double generateSeconds = timer.elapsed() / 1000.0;
    const double startPeak = peakMegabytes();

    platform::PrivateTempFolder temp;
    platform::UrlCache cache(temp);
    timer.restart();
    const auto &problems = cache.load();
    const double loadSeconds = timer.elapsed() / 1000.0;

    timer.restart();
    std::size_t entries = 0;
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

    std::printf("history URLs generated     %d (%.1f MB database, %.1f s)\n", count,
                double(QFileInfo(places).size()) / (1024.0 * 1024.0), generateSeconds);
    std::printf("load (copy + read + merge) %.2f s, %zu problems\n", loadSeconds, problems.size());
    std::printf("walk of every entry        %.2f s, %zu entries, %llu visits, %zu above 10\n", walkSeconds,
                entries, static_cast<unsigned long long>(visits), passing);
    std::printf("look-ups                   %.3f s for %zu (%zu found)\n", lookupSeconds, asked.size(), found);
    std::printf("peak memory                %.1f MB (%.1f MB before loading)\n", peakMegabytes(), startPeak);
    return problems.empty() && entries == std::size_t(count) ? 0 : 1;
}
