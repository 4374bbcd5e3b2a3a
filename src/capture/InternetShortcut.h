#pragma once

#include "capture/HResult.h"
#include "capture/IniFile.h"
#include "capture/PropertyStorage.h"

#include <QString>
#include <QUuid>

#include <memory>
#include <optional>
#include <string>

namespace vistrel::capture {

class UrlCacheLookup;

// An Internet shortcut (".url" file) and its two property sets. The shortcut
// set comes from the [InternetShortcut] keys and the file's own section for
// that set; the site set from the file's section for it, the Modified key, and
// the browsers' history for the address (visits, last visit, title).
class InternetShortcut
{
public:
    explicit InternetShortcut(const UrlCacheLookup *cache = nullptr);

    // Reads the file; a file that cannot be read leaves every property absent.
    HResult load(const QString &path);
    // STG_E_FILENOTFOUND for a set the shortcut does not have.
    HResult openPropertySet(const QUuid &formatId, std::unique_ptr<PropertyStorage> &storage) const;

    // The URL key's bytes as written; empty when absent.
    std::string url() const;

private:
    PropertyStorage shortcutSet() const;
    PropertyStorage siteSet() const;

    const UrlCacheLookup *m_cache;
    IniFile m_file;
};

// One "PropN=type,value" value of a property-set section; VT_EMPTY when the
// value does not fit its type.
PropVariant parsePropertyValue(std::string_view typeAndValue);

} // namespace vistrel::capture
