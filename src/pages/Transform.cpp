#include "pages/Transform.h"

#include "pages/LocalAddressFixup.h"
#include "pages/TransformLimits.h"
#include "pages/XmlEngine.h"

#include <QDir>

#include <libxslt/imports.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/variables.h>
#include <libxslt/xsltutils.h>

#include <cstring>
#include <vector>

namespace vistrel::pages {

namespace {

// Aliases remembered for one cached text, so that a caller's own copy of the
// text is recognised by its address the next time.
constexpr std::size_t kMaxAliases = 4;

bool sameText(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    return a.constData() == b.constData() || std::memcmp(a.constData(), b.constData(), a.size()) == 0;
}

bool sameBuffer(const QByteArray &a, const QByteArray &b)
{
    return a.size() == b.size() && a.constData() == b.constData();
}

// A key the session may compare by address: it shares the caller's buffer
// when that is reference-counted (and so cannot change under the key), and
// copies text that merely points at someone else's memory.
QByteArray keyFor(const QByteArray &text)
{
    QByteArray key = text;
    if (!key.data_ptr().d_ptr())
        key = QByteArray(text.constData(), text.size());
    return key;
}

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

struct CachedText
{
    virtual ~CachedText() = default;
    std::vector<QByteArray> keys;
    QString file;
    std::string error;

    // Recognises the text by the address of one of its copies first, and only
    // then by comparing its bytes, which costs a pass over a large listing.
    static int find(const std::vector<std::unique_ptr<CachedText>> &entries, const QByteArray &text,
                    const QString &file)
    {
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i]->file == file)
                for (const QByteArray &key : entries[i]->keys)
                    if (sameBuffer(key, text))
                        return int(i);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            CachedText &entry = *entries[i];
            if (entry.file == file && sameText(entry.keys.front(), text)) {
                if (entry.keys.size() < kMaxAliases)
                    entry.keys.push_back(keyFor(text));
                return int(i);
            }
        }
        return -1;
    }
};

struct CachedDocument : CachedText
{
    xmlDocPtr doc = nullptr;
    ~CachedDocument() override
    {
        if (doc)
            xmlFreeDoc(doc);
    }
};

struct CachedStylesheet : CachedText
{
    xsltStylesheetPtr style = nullptr;
    ~CachedStylesheet() override
    {
        if (style)
            xsltFreeStylesheet(style);
    }
};

template <typename Entry>
Entry &remember(std::vector<std::unique_ptr<CachedText>> &entries, std::unique_ptr<Entry> entry)
{
    if (entries.size() >= kMaxCachedDocuments)
        entries.erase(entries.begin());
    Entry &ref = *entry;
    entries.push_back(std::move(entry));
    return ref;
}

struct ContextDeleter
{
    void operator()(xsltTransformContext *context) const { xsltFreeTransformContext(context); }
};
struct DocDeleter
{
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
using ContextPtr = std::unique_ptr<xsltTransformContext, ContextDeleter>;
using DocPtr = std::unique_ptr<xmlDoc, DocDeleter>;

} // namespace

struct TransformSession::Impl
{
    TransformSettings settings;
    std::vector<std::unique_ptr<CachedText>> documents;
    std::vector<std::unique_ptr<CachedText>> stylesheets;

    QByteArray baseUrl(const QString &file) const
    {
        if (settings.dataFolder.isEmpty())
            return {};
        return QDir(settings.dataFolder).filePath(file.isEmpty() ? QStringLiteral("stylesheet.xsl") : file).toUtf8();
    }

    xmlDocPtr document(const QByteArray &text, detail::EngineScope &scope)
    {
        const int found = CachedText::find(documents, text, {});
        auto *entry = found >= 0 ? static_cast<CachedDocument *>(documents[found].get()) : nullptr;
        if (!entry) {
            auto fresh = std::make_unique<CachedDocument>();
            fresh->keys.push_back(keyFor(text));
            fresh->doc = detail::parseText(text, baseUrl(QStringLiteral("listings.xml")));
            if (!fresh->doc)
                fresh->error = "the XML text does not parse: " + trimmed(scope.takeMessages());
            entry = &remember(documents, std::move(fresh));
        }
        if (!entry->doc)
            throw TransformError(entry->error);
        return entry->doc;
    }

    xsltStylesheetPtr stylesheet(const QByteArray &text, const QString &file, detail::EngineScope &scope)
    {
        const int found = CachedText::find(stylesheets, text, file);
        auto *entry = found >= 0 ? static_cast<CachedStylesheet *>(stylesheets[found].get()) : nullptr;
        if (!entry) {
            auto fresh = std::make_unique<CachedStylesheet>();
            fresh->keys.push_back(keyFor(text));
            fresh->file = file;
            compile(*fresh, scope);
            entry = &remember(stylesheets, std::move(fresh));
        }
        if (!entry->style)
            throw TransformError(entry->error);
        return entry->style;
    }

    void compile(CachedStylesheet &entry, detail::EngineScope &scope)
    {
        xmlDocPtr doc = detail::parseText(entry.keys.front(), baseUrl(entry.file));
        if (!doc) {
            entry.error = "the stylesheet does not parse: " + trimmed(scope.takeMessages());
            return;
        }
        entry.style = xsltParseStylesheetDoc(doc); // owns doc from here on success
        if (!entry.style) {
            xmlFreeDoc(doc);
            entry.error = "the stylesheet does not compile: " + trimmed(scope.takeMessages());
            return;
        }
        // Pages are UTF-8 text whatever encoding a stylesheet asks for.
        if (!entry.style->encoding || xmlStrcasecmp(entry.style->encoding, BAD_CAST "UTF-8") != 0) {
            xmlFree(entry.style->encoding);
            entry.style->encoding = xmlStrdup(BAD_CAST "UTF-8");
        }
        scope.takeMessages(); // warnings of a stylesheet that compiled
    }

    ContextPtr newContext(xsltStylesheetPtr style, xmlDocPtr doc)
    {
        ContextPtr context(xsltNewTransformContext(style, doc));
        if (!context)
            return context;
        context->maxTemplateDepth = settings.limits.maxTemplateDepth;
        context->maxTemplateVars = settings.limits.maxTemplateVars;
        context->opLimit = settings.limits.maxInstructions;
        if (context->xpathCtxt)
            context->xpathCtxt->opLimit = settings.limits.maxXPathOperations;
        xsltSetCtxtSecurityPrefs(xsltGetDefaultSecurityPrefs(), context.get());
        return context;
    }
};

TransformSession::TransformSession(TransformSettings settings) : d(std::make_unique<Impl>())
{
    d->settings = std::move(settings);
}

TransformSession::~TransformSession() = default;

const TransformSettings &TransformSession::settings() const
{
    return d->settings;
}

void TransformSession::checkDocument(const QByteArray &xmlText)
{
    detail::EngineScope scope(d->settings.dataFolder);
    d->document(xmlText, scope);
}

QByteArray TransformSession::DoTransform(const QByteArray &xmlText, const QByteArray &xslText,
                                         const QByteArray &p1, const QString &stylesheetFile)
{
    detail::EngineScope scope(d->settings.dataFolder);
    xmlDocPtr doc = d->document(xmlText, scope);
    xsltStylesheetPtr style = d->stylesheet(xslText, stylesheetFile, scope);

    ContextPtr context = d->newContext(style, doc);
    DocPtr privateCopy;
    // Stripping white space changes the source tree in place, so such a
    // stylesheet works on its own copy and the cached document stays as parsed.
    if (context && xsltNeedElemSpaceHandling(context.get())) {
        privateCopy.reset(xmlCopyDoc(doc, 1));
        context = privateCopy ? d->newContext(style, privateCopy.get()) : ContextPtr();
        doc = privateCopy.get();
    }
    if (!context)
        throw TransformError("the transformation cannot start: " + trimmed(scope.takeMessages()));

    // Quoted as literal strings, so a folder name with quotes or apostrophes
    // is passed as it is and never read as an expression.
    if (d->settings.multiPage)
        xsltQuoteOneUserParam(context.get(), BAD_CAST "multi_page", BAD_CAST "yes");
    if (!p1.isEmpty())
        xsltQuoteOneUserParam(context.get(), BAD_CAST "p1", BAD_CAST p1.constData());

    DocPtr result;
    auto exceeded = detail::TransformBudget::Exceeded::None;
    {
        const TransformLimits &limits = d->settings.limits;
        detail::TransformBudget budget(context.get(), limits.maxMemory, limits.maxSeconds);
        result.reset(xsltApplyStylesheetUser(style, doc, nullptr, nullptr, nullptr, context.get()));
        exceeded = budget.exceeded();
    }
    const std::string messages = trimmed(scope.takeMessages());
    if (exceeded == detail::TransformBudget::Exceeded::Memory)
        throw TransformError("the transformation was stopped: it needed more than "
                             + std::to_string(d->settings.limits.maxMemory >> 20) + " MB of memory");
    if (exceeded == detail::TransformBudget::Exceeded::Time)
        throw TransformError("the transformation was stopped: it ran longer than "
                             + std::to_string(d->settings.limits.maxSeconds) + " seconds");
    if (!result || context->state != XSLT_STATE_OK)
        throw TransformError(messages.empty() ? std::string("the transformation failed") : messages);

    xmlChar *buffer = nullptr;
    int length = 0;
    const int saved = xsltSaveResultToString(&buffer, &length, result.get(), style);
    result.reset(); // a large page is held once as a tree, once as text: not both longer than needed
    if (saved != 0) {
        xmlFree(buffer);
        throw TransformError("the page cannot be written out: " + trimmed(scope.takeMessages()));
    }
    QByteArray page(reinterpret_cast<const char *>(buffer), length);
    xmlFree(buffer);
    return fixUpLocalAddresses(page, d->settings.port);
}

QByteArray DoTransform(const QByteArray &xmlText, const QByteArray &xslText, const QByteArray &p1,
                       const TransformSettings &settings)
{
    TransformSession session(settings);
    return session.DoTransform(xmlText, xslText, p1);
}

} // namespace vistrel::pages
