#pragma once

#include "pages/BuiltInTemplates.h"

#include <QByteArray>
#include <QString>

namespace vistrel::pages {

class PageDiagnostics;

// What one run of a sequence did.
struct PageReport
{
    int written = 0; // page files written
    int failed = 0;  // pages that could not be made or written; the old file stays
    int skipped = 0; // per-folder pages left out because of their name
    bool ok() const { return failed == 0; }
};

// The pages in the data folder: template files written from the built-in
// templates when they are missing (never overwritten), pages regenerated from
// the template files every time.
//
// A page that cannot be made (its template does not parse or fails, its
// document does not parse, the file cannot be written) is not written, the
// previous file stays, the reason goes to the diagnostics once per template,
// and the other pages are still written.
class PageSet
{
public:
    // dataFolder: native path of the data folder. port: the web server's
    // current port string. newPage: "New Page per Folder".
    PageSet(QString dataFolder, QByteArray port, bool newPage, PageDiagnostics *diagnostics = nullptr);
    ~PageSet();
    PageSet(const PageSet &) = delete;
    PageSet &operator=(const PageSet &) = delete;

    void setPort(const QByteArray &port);
    void setNewPage(bool newPage);
    const QString &dataFolder() const { return m_dataFolder; }

    // The start-up page sequence: the frame, header, footer and reloader pages
    // and, where missing, the placeholder pages.
    PageReport runStartupSequence();

    // The page generation pass of a refresh, on the listing text just saved
    // as "listings.xml": the start-up page sequence, then the view and edit
    // pages, one of each per folder in per-folder mode.
    PageReport runGenerationPass(const QByteArray &listingText);

    // The history page, from the history document just saved.
    PageReport writeHistoryPage(const QByteArray &historyText);

    // The listing the start-up sequence transforms: the last "listings.xml"
    // read, or the built-in one.
    const QByteArray &startupListing() const { return m_startupListing; }

private:
    class Run;
    bool startupSequence(Run &run);
    void pageFamily(Run &run, const QByteArray &listing, bool edit);

    QString m_dataFolder;
    QByteArray m_port;
    bool m_newPage;
    PageDiagnostics *m_diagnostics;
    QByteArray m_startupListing;
};

} // namespace vistrel::pages
