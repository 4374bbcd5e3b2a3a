#include "pages/XmlEngine.h"

#include "pages/TransformLimits.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <libexslt/exslt.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlmemory.h>
#include <libxslt/extensions.h>
#include <libxslt/extra.h>
#include <libxslt/security.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltutils.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>

namespace vistrel::pages::detail {

namespace {

// Internal entities are expanded (stylesheets often declare &nbsp; and the
// like); external ones only ever reach the restricted loader below.
constexpr int kParseOptions = XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NOCDATA;

thread_local EngineScope *t_scope = nullptr;

// ---- memory accounting -------------------------------------------------------

// Kept per thread: the engine's documents never move between threads, and a
// plain counter keeps the accounting cheap on every allocation.
thread_local std::int64_t t_engineBytes = 0;

// Allocations between two looks at the clock.
constexpr unsigned kAllocationsPerClockCheck = 4096;

struct Watch
{
    xsltTransformContextPtr context;
    std::int64_t base;
    std::int64_t limit;
    std::chrono::steady_clock::time_point deadline;
    unsigned untilClockCheck = kAllocationsPerClockCheck;
    TransformBudget::Exceeded exceeded = TransformBudget::Exceeded::None;
};
thread_local Watch *t_watch = nullptr;

void stopTransformation(xsltTransformContextPtr context)
{
    // Every loop of the engine checks one of these before its next step.
    context->state = XSLT_STATE_STOPPED;
    if (context->opLimit != 0)
        context->opCount = context->opLimit;
    if (context->xpathCtxt && context->xpathCtxt->opLimit != 0)
        context->xpathCtxt->opCount = context->xpathCtxt->opLimit;
}

void trip(Watch &watch, TransformBudget::Exceeded why)
{
    if (watch.exceeded != TransformBudget::Exceeded::None)
        return;
    watch.exceeded = why;
    stopTransformation(watch.context);
}

inline void account(std::int64_t delta)
{
    t_engineBytes += delta;
    Watch *watch = t_watch;
    if (!watch || delta <= 0)
        return;
    if (t_engineBytes - watch->base > watch->limit)
        trip(*watch, TransformBudget::Exceeded::Memory);
    if (--watch->untilClockCheck == 0) {
        watch->untilClockCheck = kAllocationsPerClockCheck;
        if (std::chrono::steady_clock::now() > watch->deadline)
            trip(*watch, TransformBudget::Exceeded::Time);
    }
}

void *countedMalloc(size_t size)
{
    void *p = std::malloc(size);
    if (p)
        account(std::int64_t(malloc_usable_size(p)));
    return p;
}

void *countedRealloc(void *old, size_t size)
{
    const std::int64_t before = old ? std::int64_t(malloc_usable_size(old)) : 0;
    void *p = std::realloc(old, size);
    if (p)
        account(std::int64_t(malloc_usable_size(p)) - before);
    else if (size == 0)
        account(-before);
    return p;
}

void countedFree(void *p)
{
    if (!p)
        return;
    account(-std::int64_t(malloc_usable_size(p)));
    std::free(p);
}

char *countedStrdup(const char *text)
{
    const size_t size = std::strlen(text) + 1;
    char *p = static_cast<char *>(countedMalloc(size));
    if (p)
        std::memcpy(p, text, size);
    return p;
}

// ---- messages ----------------------------------------------------------------

void collectGeneric(void *, const char *format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n > 0 && t_scope)
        t_scope->addMessage(buffer);
}

void collectStructured(void *, xmlErrorPtr error)
{
    if (!error || !t_scope || error->level < XML_ERR_ERROR)
        return;
    std::string text;
    if (error->line > 0)
        text += "line " + std::to_string(error->line) + ": ";
    if (error->message)
        text += error->message;
    t_scope->addMessage(text);
}

// ---- file and network access -------------------------------------------------

QString localPathOf(const char *reference)
{
    const QString text = QString::fromUtf8(reference);
    if (text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return QUrl(text).toLocalFile();
    if (text.contains(QLatin1String("://")))
        return {};
    return text;
}

int checkRead(xsltSecurityPrefsPtr, xsltTransformContextPtr, const char *value)
{
    if (!t_scope || !value || !t_scope->mayRead(localPathOf(value))) {
        if (t_scope && value)
            t_scope->addMessage(std::string("reading ") + value + " is not allowed");
        return 0;
    }
    return 1;
}

xmlExternalEntityLoader g_defaultLoader = nullptr;

xmlParserInputPtr restrictedLoader(const char *url, const char *id, xmlParserCtxtPtr context)
{
    if (url && t_scope && t_scope->mayRead(localPathOf(url)))
        return g_defaultLoader(url, id, context);
    if (t_scope)
        t_scope->addMessage(std::string("loading ") + (url ? url : id ? id : "an external entity")
                            + " is not allowed");
    return nullptr;
}

void setUpEngine()
{
    // Before anything else of libxml2 runs, so that every allocation is counted.
    xmlMemSetup(countedFree, countedMalloc, countedRealloc, countedStrdup);
    xmlInitParser();
    xsltInit();
    exsltRegisterAll();
    // Stylesheets written for the platform's original engine use its node-set().
    xsltRegisterExtModuleFunction(BAD_CAST "node-set", BAD_CAST "urn:schemas-microsoft-com:xslt",
                                  xsltFunctionNodeSet);
    g_defaultLoader = xmlGetExternalEntityLoader();
    xsltMaxDepth = kMaxTemplateDepth;
    xsltMaxVars = kMaxTemplateVars;

    // Imports and includes are checked against the default preferences only.
    xsltSecurityPrefsPtr prefs = xsltNewSecurityPrefs();
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_READ_FILE, checkRead);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
    xsltSetDefaultSecurityPrefs(prefs);
}

} // namespace

void ensureEngine()
{
    static std::once_flag once;
    std::call_once(once, setUpEngine);
}

// ---- EngineScope -------------------------------------------------------------

EngineScope::EngineScope(const QString &readableFolder)
    : m_outer((ensureEngine(), t_scope)), // the engine is set up before anything of it is touched
      m_savedGeneric(xmlGenericError),
      m_savedGenericContext(xmlGenericErrorContext),
      m_savedStructured(xmlStructuredError),
      m_savedStructuredContext(xmlStructuredErrorContext),
      m_savedXslt(xsltGenericError),
      m_savedXsltContext(xsltGenericErrorContext),
      m_savedLoader(xmlGetExternalEntityLoader())
{
    if (!readableFolder.isEmpty()) {
        const QString canonical = QFileInfo(readableFolder).canonicalFilePath();
        if (!canonical.isEmpty())
            m_folder = canonical.endsWith(QLatin1Char('/')) ? canonical : canonical + QLatin1Char('/');
    }
    t_scope = this;
    xmlSetGenericErrorFunc(nullptr, collectGeneric);
    xmlSetStructuredErrorFunc(nullptr, collectStructured);
    xsltSetGenericErrorFunc(nullptr, collectGeneric);
    xmlSetExternalEntityLoader(restrictedLoader);
}

EngineScope::~EngineScope()
{
    xmlSetExternalEntityLoader(m_savedLoader);
    xsltSetGenericErrorFunc(m_savedXsltContext, m_savedXslt);
    xmlSetStructuredErrorFunc(m_savedStructuredContext, m_savedStructured);
    xmlSetGenericErrorFunc(m_savedGenericContext, m_savedGeneric);
    t_scope = m_outer;
}

std::string EngineScope::takeMessages()
{
    std::string out;
    out.swap(m_messages);
    return out;
}

void EngineScope::addMessage(const std::string &text)
{
    if (m_messages.size() >= kMaxErrorTextBytes)
        return;
    m_messages += text;
    if (!m_messages.empty() && m_messages.back() != '\n')
        m_messages += '\n';
    if (m_messages.size() > kMaxErrorTextBytes)
        m_messages.resize(kMaxErrorTextBytes);
}

bool EngineScope::mayRead(const QString &path) const
{
    if (m_folder.isEmpty() || path.isEmpty())
        return false;
    // Symbolic links and ".." are resolved first, so neither leads outside.
    const QString canonical = QFileInfo(QDir::current(), path).canonicalFilePath();
    return !canonical.isEmpty() && canonical.startsWith(m_folder);
}

// ---- parsing -----------------------------------------------------------------

namespace {

// The text is fed to the parser in pieces, as from a file: parsed from one
// block in memory, a listing above 10 MB trips the parser's look-up limit.
struct TextReader
{
    const QByteArray &text;
    qsizetype position = 0;

    static int read(void *context, char *buffer, int length)
    {
        auto *reader = static_cast<TextReader *>(context);
        const qsizetype n = std::min<qsizetype>(length, reader->text.size() - reader->position);
        std::memcpy(buffer, reader->text.constData() + reader->position, size_t(n));
        reader->position += n;
        return int(n);
    }
    static int close(void *) { return 0; }
};

} // namespace

xmlDocPtr parseText(const QByteArray &text, const QByteArray &url)
{
    xmlParserCtxtPtr parser = xmlNewParserCtxt();
    if (!parser) {
        if (t_scope)
            t_scope->addMessage("out of memory");
        return nullptr;
    }
    TextReader reader{text};
    // The text is the system code page's, UTF-8, whatever its declaration says.
    xmlDocPtr doc = xmlCtxtReadIO(parser, TextReader::read, TextReader::close, &reader,
                                  url.isEmpty() ? nullptr : url.constData(), "UTF-8", kParseOptions);
    if (doc && !parser->wellFormed) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    xmlFreeParserCtxt(parser);
    return doc;
}

// ---- TransformBudget ---------------------------------------------------------

TransformBudget::TransformBudget(xsltTransformContextPtr context, std::size_t maxBytes, int maxSeconds)
{
    t_watch = new Watch{context, t_engineBytes, std::int64_t(maxBytes),
                        std::chrono::steady_clock::now() + std::chrono::seconds(maxSeconds)};
}

TransformBudget::~TransformBudget()
{
    delete t_watch;
    t_watch = nullptr;
}

TransformBudget::Exceeded TransformBudget::exceeded() const
{
    return t_watch ? t_watch->exceeded : Exceeded::None;
}

} // namespace vistrel::pages::detail
