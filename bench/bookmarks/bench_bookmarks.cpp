// Generates a Firefox profile whose places.sqlite holds many bookmarks in many
// folders, in a temporary HOME, then runs the real program's
// "--import-bookmarks firefox" on it into an empty Favorites folder and prints
// the wall time, CPU time and peak resident memory of that process. A second
// import of the same profile (everything already present) is timed the same way.
//
//     bench_bookmarks [bookmark count] [folder count]     (default 100000 2000)

#include "support/HistoryFixtures.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace vistrel;

namespace {

constexpr int kDefaultBookmarks = 100000;
constexpr int kDefaultFolders = 2000;
constexpr int kTopFolders = 50;       // the rest nest one level below these
constexpr int kToolbarEvery = 10;     // every tenth top folder sits on the toolbar
constexpr int kFirstOwnId = 7;        // after Firefox's six fixed roots

struct Figures
{
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double peakMegabytes = 0;
    int exitCode = -1;
};

// Runs the program as a user would, measuring it from outside.
Figures runProgram(const QString &home, const char *argument)
{
    Figures figures;
    QElapsedTimer clock;
    clock.start();
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("HOME", home.toUtf8().constData(), 1);
        ::setenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8().constData(), 1);
        ::setenv("TMPDIR", (home + "/tmp").toUtf8().constData(), 1);
        ::execl(VISTREL_BINARY_PATH, VISTREL_BINARY_PATH, "--import-bookmarks", argument, static_cast<char *>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    figures.wallSeconds = double(clock.nsecsElapsed()) / 1e9;
    figures.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                         + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    figures.peakMegabytes = double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
    figures.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return figures;
}

void writeProfile(const QString &home, int bookmarks, int folders)
{
    const QString firefox = home + "/.mozilla/firefox";
    QDir().mkpath(firefox + "/bench.default-release");
    test::writeAll(firefox + "/profiles.ini",
                   "[Profile0]\nName=default-release\nIsRelative=1\nPath=bench.default-release\nDefault=1\n");
    test::HistoryWriter writer(test::HistoryWriter::Browser::Firefox, firefox + "/bench.default-release/places.sqlite");
    writer.commit();
    test::SqliteFile &db = writer.file();
    db.exec("BEGIN");
    db.exec("INSERT INTO moz_bookmarks (id, type, parent, position, title, guid) VALUES "
            "(1, 2, 0, 0, '', 'root________'), (2, 2, 1, 0, 'menu', 'menu________'), "
            "(3, 2, 1, 1, 'toolbar', 'toolbar_____'), (4, 2, 1, 2, 'tags', 'tags________'), "
            "(5, 2, 1, 3, 'unfiled', 'unfiled_____'), (6, 2, 1, 4, 'mobile', 'mobile______')");
    for (int f = 0; f < folders; ++f) {
        const int id = kFirstOwnId + f;
        const int parent = f < kTopFolders ? (f % kToolbarEvery == 0 ? 3 : 2) : kFirstOwnId + f % kTopFolders;
        db.exec("INSERT INTO moz_bookmarks (id, type, parent, position, title, guid) VALUES (" + std::to_string(id)
                + ", 2, " + std::to_string(parent) + ", " + std::to_string(f) + ", 'Folder " + std::to_string(f)
                + "', 'f" + std::to_string(f) + "')");
    }
    for (int b = 0; b < bookmarks; ++b) {
        const int place = b + 1;
        const int id = kFirstOwnId + folders + b;
        const int folder = kFirstOwnId + b % folders;
        db.exec("INSERT INTO moz_places (id, url, title, guid) VALUES (" + std::to_string(place)
                + ", 'https://site" + std::to_string(b % 5000) + ".example/page/" + std::to_string(b) + "', NULL, 'p"
                + std::to_string(b) + "')");
        // Every seventh bookmark is untitled, so its host names it (and collides).
        const std::string title = b % 7 == 0 ? "" : "Page " + std::to_string(b) + " of a long-titled site";
        db.exec("INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, guid) VALUES ("
                + std::to_string(id) + ", 1, " + std::to_string(place) + ", " + std::to_string(folder) + ", "
                + std::to_string(b) + ", '" + title + "', 'b" + std::to_string(b) + "')");
    }
    db.exec("COMMIT");
}

int countFavourites(const QString &folder)
{
    int count = 0;
    QDirIterator it(folder, {"*.URL"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++count;
    }
    return count;
}

void print(const char *what, const Figures &f)
{
    std::printf("%-34s %7.2f s wall, %6.2f s CPU, peak %6.1f MB, exit %d\n", what, f.wallSeconds, f.cpuSeconds,
                f.peakMegabytes, f.exitCode);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // the figures show before the large clean-up
    const int bookmarks = argc > 1 ? std::atoi(argv[1]) : kDefaultBookmarks;
    const int folders = argc > 2 ? std::atoi(argv[2]) : kDefaultFolders;
    if (bookmarks <= 0 || folders <= kTopFolders) {
        std::fprintf(stderr, "usage: bench_bookmarks [bookmarks > 0] [folders > %d]\n", kTopFolders);
        return 2;
    }
    test::TempHome home;
    QElapsedTimer clock;
    clock.start();
    writeProfile(home.path(), bookmarks, folders);
    std::printf("profile: %d bookmarks in %d folders, generated in %.2f s\n", bookmarks, folders,
                double(clock.elapsed()) / 1000.0);

    const Figures first = runProgram(home.path(), "firefox");
    const int written = countFavourites(home.file("Favorites"));
    print("import into an empty folder:", first);
    const Figures second = runProgram(home.path(), "firefox");
    print("second import (all present):", second);
    std::printf("favourites written: %d of %d\n", written, bookmarks);
    return first.exitCode == 0 && second.exitCode == 0 && written == bookmarks ? 0 : 1;
}
