#pragma once

#include <QByteArray>
#include <QString>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxslt/xsltInternals.h>

#include <cstddef>
#include <string>

// Internal to src/pages: the process-wide set-up of libxml2/libxslt and the
// guards that surround every use of the engine.
namespace vistrel::pages::detail {

// Installs, once per process, the counting allocator, the security
// preferences and the extension functions. Safe to call repeatedly.
void ensureEngine();

// While alive, on this thread: the engine's messages are collected instead of
// printed, the engine may read files only inside readableFolder (none when it
// is empty) and never the network, and nothing may be written.
class EngineScope
{
public:
    explicit EngineScope(const QString &readableFolder);
    ~EngineScope();
    EngineScope(const EngineScope &) = delete;
    EngineScope &operator=(const EngineScope &) = delete;

    // The messages collected so far, emptied.
    std::string takeMessages();
    void addMessage(const std::string &text);
    bool mayRead(const QString &path) const;

private:
    QString m_folder;
    std::string m_messages;
    EngineScope *m_outer;
    xmlGenericErrorFunc m_savedGeneric;
    void *m_savedGenericContext;
    xmlStructuredErrorFunc m_savedStructured;
    void *m_savedStructuredContext;
    xmlGenericErrorFunc m_savedXslt;
    void *m_savedXsltContext;
    xmlExternalEntityLoader m_savedLoader;
};

// Parses a complete XML text held in memory as UTF-8, without loading
// anything from the network or from outside the scope's folder. url (may be
// empty) becomes the document's base for relative references. Returns null
// and leaves the reason in the scope's messages when the text does not parse.
xmlDocPtr parseText(const QByteArray &text, const QByteArray &url);

// Stops the transformation when, while the budget is alive, the engine's
// allocations exceed maxBytes or maxSeconds have passed. Both are looked at
// as the engine allocates, which every step of a transformation does.
class TransformBudget
{
public:
    enum class Exceeded { None, Memory, Time };

    TransformBudget(xsltTransformContextPtr context, std::size_t maxBytes, int maxSeconds);
    ~TransformBudget();
    TransformBudget(const TransformBudget &) = delete;
    TransformBudget &operator=(const TransformBudget &) = delete;

    Exceeded exceeded() const;
};

} // namespace vistrel::pages::detail
