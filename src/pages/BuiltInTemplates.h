#pragma once

#include <QByteArray>

namespace vistrel::pages {

// The texts the program carries for its template files, placeholder pages and
// the start-up listing. They live as files under src/pages/templates/ and are
// compiled in.
enum class BuiltInTemplate {
    Default_Web_View_Frame,
    Default_Web_View_Head,
    Default_XSL_View,
    Default_Reloader_XSL,
    Default_Web_View_Footer,
    Default_Web_Edit_Frame,
    Default_Web_Edit_Head,
    Default_XSL_Edit,
    Default_Web_Edit_Footer,
    Default_XSL_History,
    Default_XSL_Folders,
    Default_NotRun_Page,
    Default_not_run_history,
    startup_XML,
};

// The built-in text, exactly as stored.
QByteArray builtInTemplate(BuiltInTemplate which);

// Its name, "Default_XSL_View" and so on.
const char *builtInTemplateName(BuiltInTemplate which);

} // namespace vistrel::pages
