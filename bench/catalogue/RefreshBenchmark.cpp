// Times a whole refresh with the capture switched off: the count walk, the link
// records, the sorting and the save of listings.xml, over a generated Favorites
// tree in a temporary HOME. Prints favourites per second and peak memory.
//
//   bench_catalogue [favourites] [folders] [--menu-order] [--repeat N]
//
// With --menu-order every folder also gets a browser menu order value in the
// registry, as a browser that has shown the folders leaves behind.

#include "catalogue/MenuOrder.h"
#include "catalogue/RefreshDriver.h"
#include "platform/AtomicFile.h"
#include "platform/DisplayWriter.h"
#include "platform/ProgramContext.h"
#include "platform/RegistryDocument.h"
#include "support/RecordingPresenter.h"
#include "support/RecordingStatus.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/resource.h>

using namespace vistrel;

namespace {

constexpr int kDefaultFavourites = 10'000;
constexpr int kDefaultFolders = 500;
constexpr int kChildrenPerFolder = 5;
constexpr int kMaxDepth = 4;

// Folders breadth-first, at most kChildrenPerFolder children each and kMaxDepth deep.
std::vector<QString> makeFolders(const QString &root, int count)
{
    std::vector<std::pair<QString, int>> folders{{root, 0}};
    for (std::size_t parent = 0; int(folders.size()) < count + 1 && parent < folders.size(); ++parent) {
        const auto [path, depth] = folders[parent];
        if (depth == kMaxDepth)
            continue;
        for (int c = 0; c < kChildrenPerFolder && int(folders.size()) < count + 1; ++c)
            folders.push_back({path + QStringLiteral("/Folder %1-%2").arg(depth + 1).arg(folders.size()), depth + 1});
    }
    std::vector<QString> out;
    for (std::size_t i = 1; i < folders.size(); ++i)
        out.push_back(folders[i].first);
    return out;
}

std::string orderRecord(const std::string &name, int order)
{
    std::string r(catalogue::menu_order::kNameOffset, '\0');
    r += name;
    r += std::string(4, '\0');
    r[0] = static_cast<char>(r.size());
    r[catalogue::menu_order::kOrderOffset] = static_cast<char>(order);
    return r;
}

// User plus system time of the process so far, in seconds: on a shared machine
// it says more than the wall clock.
double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long peakResidentKb()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char **argv)
{
    int favourites = kDefaultFavourites, folderCount = kDefaultFolders;
    bool menuOrder = false;
    int repeat = 1;
    std::vector<int> numbers;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--menu-order") == 0)
            menuOrder = true;
        else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else
            numbers.push_back(std::atoi(argv[i]));
    }
    if (numbers.size() > 0 && numbers[0] > 0)
        favourites = numbers[0];
    if (numbers.size() > 1 && numbers[1] > 0)
        folderCount = numbers[1];

    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    // Everything the program touches stays inside the temporary HOME.
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    qputenv("XDG_DOCUMENTS_DIR", (home.path() + "/Documents").toUtf8());
    qputenv("TMPDIR", home.path().toUtf8());
    QCoreApplication app(argc, argv);

    platform::SettingsValues settings;
    settings.historyValue = false;
    test::RecordingStatus status;
    test::RecordingPresenter messages;
    platform::DisplayWriter display;
    platform::MainFlags flags;
    QDir().mkpath(home.path() + "/program");
    platform::ProgramPaths paths = platform::ProgramPaths::compute(home.path() + "/program/vistrel");
    platform::DiagnosticMemo trace(paths.filesLogPath());
    platform::RegistryFile registry;
    platform::PrivateTempFolder tempFolder;
    platform::ProgramContext context{settings, status, messages, display, trace, flags, paths, registry, tempFolder};

    const std::vector<QString> folders = makeFolders(paths.favoritesFolder, folderCount);
    platform::RegistryDocument orders; // written in one go: one write per key would take minutes
    for (std::size_t i = 0; i < folders.size(); ++i) {
        QDir().mkpath(folders[i]);
        const int here = favourites / int(folders.size()) + (int(i) < favourites % int(folders.size()) ? 1 : 0);
        std::string order(catalogue::menu_order::kHeaderSize, '\0');
        for (int f = 0; f < here; ++f) {
            const QString name = QStringLiteral("Site number %1.url").arg(f);
            QFile file(folders[i] + "/" + name);
            file.open(QIODevice::WriteOnly);
            file.write("[InternetShortcut]\r\nURL=http://example.com/\r\n");
            order += orderRecord(name.toStdString(), here - f);
        }
        if (menuOrder) {
            const std::string relative =
                QString(folders[i]).mid(paths.favoritesFolder.size() + 1).replace('/', '\\').toStdString();
            platform::RegistryValue value;
            value.type = platform::RegistryValue::Type::Binary;
            value.bytes = QByteArray::fromStdString(order);
            orders.findOrAdd(QString::fromStdString(catalogue::menuOrderKey(relative))).entries.append({"Order", value});
        }
    }
    if (menuOrder)
        platform::writeFileAtomically(registry.path(), orders.serialize());
    const long beforeKb = peakResidentKb();

    catalogue::RefreshDriver driver(context);
    const QFileInfo listing(paths.dataFolder + "listings.xml");
    std::printf("favourites: %d in %zu folders%s\n", favourites, folders.size(),
                menuOrder ? " (with menu order values)" : "");
    for (int run = 1; run <= repeat; ++run) {
        QElapsedTimer timer;
        const double cpuBefore = cpuSeconds();
        timer.start();
        driver.Button2Click();
        const double seconds = timer.nsecsElapsed() / 1e9;
        const double cpu = cpuSeconds() - cpuBefore;
        std::printf("refresh %d: %.3f s, %.0f favourites per second (CPU %.3f s, %.0f per CPU second)\n", run,
                    seconds, flags.fetchTotal / seconds, cpu, flags.fetchTotal / cpu);
    }
    std::printf("listings.xml: %lld bytes\n", static_cast<long long>(QFileInfo(listing.filePath()).size()));
    std::printf("peak resident memory: %.1f MB (%.1f MB before the refresh)\n", peakResidentKb() / 1024.0,
                beforeKb / 1024.0);
    return flags.fetchTotal == favourites && listing.exists() ? 0 : 1;
}
