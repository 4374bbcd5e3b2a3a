// vistrel_pagegen [--per-folder] [--port PORT] LISTING DATA_FOLDER
// Runs the page generation pass of a refresh on LISTING (saved first as
// DATA_FOLDER/listings.xml, as a refresh does) and prints what went wrong.
#include "pages/PageDiagnostics.h"
#include "pages/PageSet.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cstdio>
#include <cstring>

namespace {

class StderrDiagnostics : public vistrel::pages::PageDiagnostics
{
public:
    void pageMessage(const QString &text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
};

int usage()
{
    std::fprintf(stderr, "usage: vistrel_pagegen [--per-folder] [--port PORT] LISTING DATA_FOLDER\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    bool perFolder = false;
    QByteArray port = "80";
    QStringList positional;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--per-folder") == 0)
            perFolder = true;
        else if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc)
            port = argv[++i];
        else if (argv[i][0] == '-')
            return usage();
        else
            positional << QString::fromLocal8Bit(argv[i]);
    }
    if (positional.size() != 2)
        return usage();

    QFile in(positional[0]);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(positional[0]));
        return 1;
    }
    const QByteArray listing = in.readAll();
    const QString dataFolder = positional[1];
    QDir().mkpath(dataFolder);
    QSaveFile saved(QDir(dataFolder).filePath(QStringLiteral("listings.xml")));
    if (!saved.open(QIODevice::WriteOnly) || saved.write(listing) != listing.size() || !saved.commit()) {
        std::fprintf(stderr, "cannot write listings.xml\n");
        return 1;
    }

    StderrDiagnostics diagnostics;
    vistrel::pages::PageSet pages(dataFolder, port, perFolder, &diagnostics);
    const auto report = pages.runGenerationPass(listing);
    std::printf("%d pages written, %d failed, %d skipped\n", report.written, report.failed, report.skipped);
    return report.ok() ? 0 : 1;
}
