#include "pages/BuiltInTemplates.h"

#include <QFile>
#include <QString>

#include <mutex>
#include <stdexcept>

// Outside any namespace, as Q_INIT_RESOURCE requires. A static library's
// resources are only linked in when something calls their initialiser.
static void initPageTemplateResources()
{
    Q_INIT_RESOURCE(page_templates);
}

namespace vistrel::pages {

namespace {

struct Entry
{
    const char *name;
    const char *file;
};

const Entry &entryOf(BuiltInTemplate which)
{
    static const Entry entries[] = {
        {"Default_Web_View_Frame", "Default_Web_View_Frame.xsl"},
        {"Default_Web_View_Head", "Default_Web_View_Head.xsl"},
        {"Default_XSL_View", "Default_XSL_View.xsl"},
        {"Default_Reloader_XSL", "Default_Reloader_XSL.xsl"},
        {"Default_Web_View_Footer", "Default_Web_View_Footer.xsl"},
        {"Default_Web_Edit_Frame", "Default_Web_Edit_Frame.xsl"},
        {"Default_Web_Edit_Head", "Default_Web_Edit_Head.xsl"},
        {"Default_XSL_Edit", "Default_XSL_Edit.xsl"},
        {"Default_Web_Edit_Footer", "Default_Web_Edit_Footer.xsl"},
        {"Default_XSL_History", "Default_XSL_History.xsl"},
        {"Default_XSL_Folders", "Default_XSL_Folders.xsl"},
        {"Default_NotRun_Page", "Default_NotRun_Page.htm"},
        {"Default_not_run_history", "Default_not_run_history.htm"},
        {"startup_XML", "startup_XML.xml"},
    };
    static_assert(std::size(entries) == std::size_t(BuiltInTemplate::startup_XML) + 1);
    return entries[std::size_t(which)];
}

} // namespace

QByteArray builtInTemplate(BuiltInTemplate which)
{
    static std::once_flag once;
    std::call_once(once, initPageTemplateResources);
    QFile file(QStringLiteral(":/vistrel/pages/templates/") + QLatin1String(entryOf(which).file));
    if (!file.open(QIODevice::ReadOnly))
        throw std::logic_error(std::string("built-in template missing: ") + entryOf(which).name);
    return file.readAll();
}

const char *builtInTemplateName(BuiltInTemplate which)
{
    return entryOf(which).name;
}

} // namespace vistrel::pages
