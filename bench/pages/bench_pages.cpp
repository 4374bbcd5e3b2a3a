// bench_pages [--links N] [--folders N] [--single]
// Builds a listing of N links spread over N folders, then times the whole
// page generation pass into a fresh data folder (per-folder mode unless
// --single) and prints the seconds and the peak memory of the process.
#include "pages/PageDiagnostics.h"
#include "pages/PageSet.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kDefaultLinks = 10000;
constexpr int kDefaultFolders = 500;

class CountingDiagnostics : public vistrel::pages::PageDiagnostics
{
public:
    int messages = 0;
    void pageMessage(const QString &text) override
    {
        ++messages;
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
};

std::string hex(const std::string &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// A listing in the refresh's own format, with every attribute a captured
// favourite carries, so the documents are as large as real ones.
QByteArray makeListing(int links, int folders)
{
    const char *lfcr = "\n\r";
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<BROWSERINFO \r\nTime=\"463645000\"\r\n"
                       "HomePage=\"No\">\r\n<Favoritesfolder>\r\n";
    const char *properties[] = {"PID_IS_NAME", "PID_IS_WORKINGDIR", "PID_IS_HOTKEY", "PID_IS_SHOWCMD",
                                "PID_IS_ICONINDEX", "PID_IS_ICONFILE", "PID_IS_WHATSNEW", "PID_IS_AUTHOR",
                                "PID_IS_DESCRIPTION", "PID_IS_COMMENT", "PID_INTSITE_LASTVISIT",
                                "PID_INTSITE_VISITCOUNT", "PID_INTSITE_URL", "PID_INTSITE_TITLE"};
    int made = 0;
    for (int f = 0; f < folders; ++f) {
        const std::string location = f == 0 ? std::string() : "Group" + std::to_string(f % 10) + "\\Folder" + std::to_string(f);
        text += "<Folder Location = \"" + location + "\">\r\n";
        const int here = links / folders + (f < links % folders ? 1 : 0);
        for (int i = 0; i < here; ++i, ++made) {
            const std::string name = "Favourite&#32;number&#32;" + std::to_string(made);
            const std::string url = "http://www.example" + std::to_string(made) + ".com/index.html";
            text += std::string("<Link ") + lfcr;
            text += "UNIQUE=\"" + hex("/home/user/Favorites/" + location + "/Favourite number " + std::to_string(made) + ".url") + "\" " + lfcr;
            text += std::string("BROWSER=\"IE\"") + lfcr + "SORT_ORDER=\"" + std::to_string(i) + "\"" + lfcr;
            text += "DESCRIPTION=\"" + name + "\" " + lfcr + "PRECODE = \"200\" " + lfcr;
            text += "PID_IS_URL=\"" + url + "\"" + lfcr;
            for (const char *property : properties)
                text += std::string(property) + "=\"value&#32;of&#32;" + property + "\"" + lfcr;
            text += std::string("VISITS=\"3\"") + lfcr + "CODE = \"200\" " + lfcr;
            text += "GIVEN_TITLE = \"Example%32page%32" + std::to_string(made) + "\" " + lfcr;
            text += "IMAGE =\"images\\20202031" + hex("Favourite number " + std::to_string(made) + ".url") + ".BMP\" " + lfcr;
            text += "></Link>\r\n";
        }
        text += "</Folder>\r\n";
    }
    text += "</Favoritesfolder>\r\n</BROWSERINFO>\r\n";
    return QByteArray::fromStdString(text);
}

double cpuSeconds(const rusage &usage)
{
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

qint64 folderBytes(const QString &path)
{
    qint64 total = 0;
    QDirIterator it(path, QDir::Files);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

} // namespace

int main(int argc, char **argv)
{
    int links = kDefaultLinks;
    int folders = kDefaultFolders;
    bool perFolder = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--links") == 0 && i + 1 < argc)
            links = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--folders") == 0 && i + 1 < argc)
            folders = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--single") == 0)
            perFolder = false;
        else {
            std::fprintf(stderr, "usage: bench_pages [--links N] [--folders N] [--single]\n");
            return 2;
        }
    }
    if (links < 0 || folders < 1) {
        std::fprintf(stderr, "need at least one folder\n");
        return 2;
    }

    QTemporaryDir data;
    if (!data.isValid()) {
        std::fprintf(stderr, "cannot create a temporary data folder\n");
        return 1;
    }
    const QByteArray listing = makeListing(links, folders);
    CountingDiagnostics diagnostics;
    vistrel::pages::PageSet pages(data.path(), "80", perFolder, &diagnostics);

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    const vistrel::pages::PageReport report = pages.runGenerationPass(listing);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("page generation pass: %d links in %d folders, %s\n", links, folders,
                perFolder ? "one page per folder" : "one page");
    std::printf("listing: %.1f MB\n", listing.size() / 1048576.0);
    std::printf("pages written: %d, failed: %d, skipped: %d, data folder: %.1f MB\n", report.written,
                report.failed, report.skipped, folderBytes(data.path()) / 1048576.0);
    std::printf("seconds: %.2f (processor: %.2f)\n", seconds, cpuSeconds(usage) - cpuSeconds(before));
    std::printf("peak memory (ru_maxrss): %.1f MB\n", usage.ru_maxrss / 1024.0);
    return report.ok() ? 0 : 1;
}
