#pragma once

#include "pages/TransformError.h"
#include "pages/TransformLimits.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace vistrel::pages {

// What DoTransform takes from the program's settings at the moment of the call.
struct TransformSettings
{
    // "New Page per Folder": passes the top-level parameter multi_page = "yes".
    bool multiPage = false;
    // The web server's current port string, put into every "http://localhost/".
    QByteArray port = "80";
    // Stylesheets may include, import and read documents inside this folder
    // only; with no folder they may read nothing.
    QString dataFolder;
    TransformLimits limits;
};

// The transformations of one page generation pass. Each distinct document or
// stylesheet text is parsed once and kept for the session's later calls; the
// output is the same as with a fresh parse every time.
class TransformSession
{
public:
    explicit TransformSession(TransformSettings settings);
    ~TransformSession();
    TransformSession(const TransformSession &) = delete;
    TransformSession &operator=(const TransformSession &) = delete;

    const TransformSettings &settings() const;

    // Applies the stylesheet text to the XML text and returns the page text,
    // with the local addresses fixed up. A non-empty p1 is passed as the
    // top-level string parameter "p1". stylesheetFile names the template file
    // in the data folder the text came from (relative includes and messages).
    // Throws TransformError with the engine's messages when there is no page.
    QByteArray DoTransform(const QByteArray &xmlText, const QByteArray &xslText,
                           const QByteArray &p1, const QString &stylesheetFile = {});

    // Parses the XML text now and keeps it; throws TransformError when it
    // does not parse.
    void checkDocument(const QByteArray &xmlText);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// One transformation that keeps nothing.
QByteArray DoTransform(const QByteArray &xmlText, const QByteArray &xslText, const QByteArray &p1,
                       const TransformSettings &settings);

} // namespace vistrel::pages
