#include "pages/PageSet.h"

#include "pages/LocalAddressFixup.h"
#include "pages/PageDiagnostics.h"
#include "pages/PageFile.h"
#include "pages/PageNames.h"
#include "pages/PageText.h"
#include "pages/Transform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace vistrel::pages {

namespace {

struct FramePage
{
    const char *name;
    BuiltInTemplate builtIn;
};

// The pages of the start-up sequence made from the start-up listing, in order.
const FramePage kFramePages[] = {
    {"editor", BuiltInTemplate::Default_Web_Edit_Frame},
    {"edit_header", BuiltInTemplate::Default_Web_Edit_Head},
    {"edit_footer", BuiltInTemplate::Default_Web_Edit_Footer},
    {"viewer", BuiltInTemplate::Default_Web_View_Frame},
    {"view_footer", BuiltInTemplate::Default_Web_View_Footer},
    {"view_header", BuiltInTemplate::Default_Web_View_Head},
};

QString fileName(const QByteArray &name)
{
    return QString::fromUtf8(name);
}

// The text of a folder list as the HTML output method leaves it: a document
// type line in front and a line feed behind, neither of them a folder.
QByteArray folderListText(QByteArray output)
{
    if (output.startsWith("<!DOCTYPE") || output.startsWith("<!doctype")) {
        const qsizetype end = output.indexOf('\n');
        output = end < 0 ? QByteArray() : output.mid(end + 1);
    }
    if (output.endsWith('\n') && !output.endsWith("\r\n"))
        output.chop(1);
    return output;
}

} // namespace

// One run of a sequence: its transformations, its report, and which template
// failures have been told already.
class PageSet::Run
{
public:
    explicit Run(PageSet &set) : m_set(set), m_session(settingsOf(set)) {}

    ~Run()
    {
        for (auto it = m_untold.cbegin(); it != m_untold.cend(); ++it)
            if (it.value() > 0)
                note(QStringLiteral("%1 failed %2 more times").arg(it.key()).arg(it.value()));
    }

    PageReport report;
    TransformSession &session() { return m_session; }

    void note(const QString &text)
    {
        if (m_set.m_diagnostics)
            m_set.m_diagnostics->pageMessage(text);
    }

    QString path(const QString &name) const { return QDir(m_set.m_dataFolder).filePath(name); }
    bool exists(const QString &name) const { return QFileInfo::exists(path(name)); }

    bool write(const QString &name, const QByteArray &text, QString *error)
    {
        return writeFileAtomically(path(name), toCrLfLines(text), error);
    }

    bool writePage(const QString &name, const QByteArray &text)
    {
        QString error;
        if (write(name, text, &error)) {
            ++report.written;
            return true;
        }
        ++report.failed;
        note(QStringLiteral("Page %1 could not be written: %2").arg(name, error));
        return false;
    }

    // The template file's text, written first from the built-in template when
    // the file is missing. False when there is no text to use.
    bool templateText(const QString &file, BuiltInTemplate builtIn, QByteArray *text)
    {
        if (!exists(file)) {
            QString error;
            if (!write(file, builtInTemplate(builtIn), &error)) {
                failure(file, QStringLiteral("the template file could not be written: %1").arg(error));
                return false;
            }
        }
        QFile in(path(file));
        if (!in.open(QIODevice::ReadOnly)) {
            failure(file, QStringLiteral("the template file could not be read: %1").arg(in.errorString()));
            return false;
        }
        *text = in.readAll();
        return true;
    }

    // Transforms the document with the template file and writes the page;
    // true when the page was written.
    bool transformPage(const QByteArray &xml, const QString &templateFile, BuiltInTemplate builtIn,
                       const QByteArray &p1, const QString &page)
    {
        QByteArray xsl;
        if (!templateText(templateFile, builtIn, &xsl))
            return false;
        QByteArray output;
        if (!transform(xml, xsl, p1, templateFile, QStringLiteral("page %1 not written").arg(page), &output))
            return false;
        return writePage(page, output);
    }

    // failed: what a failure means, for the diagnostics.
    bool transform(const QByteArray &xml, const QByteArray &xsl, const QByteArray &p1,
                   const QString &templateFile, const QString &failed, QByteArray *output)
    {
        try {
            *output = m_session.DoTransform(xml, xsl, p1, templateFile);
            return true;
        } catch (const TransformError &error) {
            failure(templateFile, failed + QStringLiteral(": ") + QString::fromUtf8(error.what()));
            return false;
        }
    }

    // Tells a template's first failure in this run and counts the others.
    void failure(const QString &templateFile, const QString &what)
    {
        ++report.failed;
        auto it = m_untold.find(templateFile);
        if (it == m_untold.end()) {
            m_untold.insert(templateFile, 0);
            note(templateFile + QStringLiteral(": ") + what);
        } else {
            ++it.value();
        }
    }

private:
    static TransformSettings settingsOf(const PageSet &set)
    {
        TransformSettings settings;
        settings.multiPage = set.m_newPage;
        settings.port = set.m_port;
        settings.dataFolder = set.m_dataFolder;
        return settings;
    }

    PageSet &m_set;
    TransformSession m_session;
    QHash<QString, int> m_untold;
};

PageSet::PageSet(QString dataFolder, QByteArray port, bool newPage, PageDiagnostics *diagnostics)
    : m_dataFolder(std::move(dataFolder)),
      m_port(std::move(port)),
      m_newPage(newPage),
      m_diagnostics(diagnostics),
      m_startupListing(builtInTemplate(BuiltInTemplate::startup_XML))
{
}

PageSet::~PageSet() = default;

void PageSet::setPort(const QByteArray &port)
{
    m_port = port;
}

void PageSet::setNewPage(bool newPage)
{
    m_newPage = newPage;
}

PageReport PageSet::runStartupSequence()
{
    Run run(*this);
    startupSequence(run);
    return run.report;
}

PageReport PageSet::runGenerationPass(const QByteArray &listingText)
{
    Run run(*this);
    if (!startupSequence(run))
        return run.report;
    pageFamily(run, listingText, false);
    pageFamily(run, listingText, true);
    return run.report;
}

PageReport PageSet::writeHistoryPage(const QByteArray &historyText)
{
    Run run(*this);
    if (!QDir().mkpath(m_dataFolder)) {
        ++run.report.failed;
        run.note(QStringLiteral("The data folder %1 cannot be created").arg(m_dataFolder));
        return run.report;
    }
    run.transformPage(historyText, QStringLiteral("history.xsl"), BuiltInTemplate::Default_XSL_History, {},
                      QStringLiteral("history.htm"));
    return run.report;
}

bool PageSet::startupSequence(Run &run)
{
    if (!QDir().mkpath(m_dataFolder)) {
        ++run.report.failed;
        run.note(QStringLiteral("The data folder %1 cannot be created").arg(m_dataFolder));
        return false;
    }
    removeLeftoverTemporaryFiles(m_dataFolder);
    if (m_diagnostics)
        m_diagnostics->processPendingEvents();

    if (run.exists(QStringLiteral("listings.xml"))) {
        QFile file(run.path(QStringLiteral("listings.xml")));
        if (!file.open(QIODevice::ReadOnly)) {
            run.note(QStringLiteral("listings.xml could not be read (%1); the pages use the previous listing")
                         .arg(file.errorString()));
        } else {
            const QByteArray text = file.readAll();
            // A damaged file must not replace a listing that works.
            try {
                run.session().checkDocument(text);
                m_startupListing = text;
            } catch (const TransformError &error) {
                run.note(QStringLiteral("listings.xml does not parse; the pages use the previous listing: %1")
                             .arg(QString::fromUtf8(error.what())));
            }
        }
    }

    for (const FramePage &page : kFramePages) {
        const QString name = QString::fromLatin1(page.name);
        run.transformPage(m_startupListing, name + QStringLiteral(".xsl"), page.builtIn, {},
                          name + QStringLiteral(".htm"));
    }

    struct Placeholder
    {
        const char *page;
        BuiltInTemplate builtIn;
    };
    static const Placeholder kPlaceholders[] = {
        {"view.htm", BuiltInTemplate::Default_NotRun_Page},
        {"edit.htm", BuiltInTemplate::Default_NotRun_Page},
        {"history.htm", BuiltInTemplate::Default_not_run_history},
    };
    for (const Placeholder &placeholder : kPlaceholders) {
        const QString page = QString::fromLatin1(placeholder.page);
        if (run.exists(page))
            continue;
        QByteArray text = builtInTemplate(placeholder.builtIn);
        // The edit frame's placeholder waits for the edit page, not the grid.
        if (page == QLatin1String("edit.htm"))
            text.replace("http://localhost/view.htm", "http://localhost/edit.htm");
        run.writePage(page, fixUpLocalAddresses(text, m_port));
    }

    run.transformPage(m_startupListing, QStringLiteral("reloader.xsl"), BuiltInTemplate::Default_Reloader_XSL, {},
                      QStringLiteral("reloader.htm"));
    return true;
}

void PageSet::pageFamily(Run &run, const QByteArray &listing, bool edit)
{
    const QString templateFile = edit ? QStringLiteral("edit.xsl") : QStringLiteral("view.xsl");
    const BuiltInTemplate builtIn = edit ? BuiltInTemplate::Default_XSL_Edit : BuiltInTemplate::Default_XSL_View;
    const auto pageName = edit ? editPageName : viewPageName;

    QByteArray xsl;
    if (!run.templateText(templateFile, builtIn, &xsl)) // written first when missing
        return;
    if (!m_newPage) {
        run.transformPage(listing, templateFile, builtIn, {}, fileName(pageName({})));
        return;
    }

    const QString foldersFile = QStringLiteral("folders.xsl");
    QByteArray foldersXsl;
    QByteArray folderOutput;
    if (!run.templateText(foldersFile, BuiltInTemplate::Default_XSL_Folders, &foldersXsl)
        || !run.transform(listing, foldersXsl, {}, foldersFile,
                          QStringLiteral("no folder list, so no per-folder pages from %1").arg(templateFile),
                          &folderOutput))
        return;

    bool sawRoot = false;
    QHash<QByteArray, QByteArray> folderOfPage;
    for (const QByteArray &line : splitLines(folderListText(folderOutput))) {
        const QByteArray location = decodeCharacterReferences(line);
        const QByteArray page = pageName(location);
        const QString shown = QString::fromUtf8(location);
        if (location.isEmpty()) {
            sawRoot = true;
        } else if (isFixedPageName(page)) {
            ++run.report.skipped;
            run.note(QStringLiteral("Folder %1: its page %2 is not written, that name belongs to another page")
                         .arg(shown, fileName(page)));
            continue;
        } else if (!isSafePageName(page)) {
            ++run.report.skipped;
            run.note(QStringLiteral("Folder %1: no page, %2 is not a file name in the data folder")
                         .arg(shown, fileName(page)));
            continue;
        }
        const auto owner = folderOfPage.constFind(page);
        if (owner != folderOfPage.cend() && *owner != location)
            run.note(QStringLiteral("Folders %1 and %2 share the page %3; it shows %2")
                         .arg(QString::fromUtf8(*owner), shown, fileName(page)));
        folderOfPage.insert(page, location);
        run.transformPage(listing, templateFile, builtIn, location, fileName(page));
    }
    // The frame sets always open the root page; without a root folder in the
    // listing it must still stop showing an older listing.
    if (!sawRoot)
        run.transformPage(listing, templateFile, builtIn, {}, fileName(pageName({})));
}

} // namespace vistrel::pages
