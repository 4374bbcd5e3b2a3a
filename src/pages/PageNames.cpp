#include "pages/PageNames.h"

namespace vistrel::pages {

namespace {

QByteArray withoutBackslashes(QByteArray location)
{
    return location.replace('\\', QByteArray());
}

} // namespace

QByteArray viewPageName(const QByteArray &location)
{
    if (location.isEmpty())
        return "view.htm";
    return withoutBackslashes(location) + ".htm";
}

QByteArray editPageName(const QByteArray &location)
{
    if (location.isEmpty())
        return "edit.htm";
    return "edit" + withoutBackslashes(location) + ".htm";
}

bool isFixedPageName(const QByteArray &name)
{
    static const char *const kFixed[] = {"viewer.htm", "view_header.htm", "view_footer.htm", "view.htm",
                                         "editor.htm", "edit_header.htm", "edit_footer.htm", "edit.htm",
                                         "reloader.htm", "history.htm"};
    for (const char *fixed : kFixed)
        if (name == fixed)
            return true;
    return false;
}

bool isSafePageName(const QByteArray &name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
}

} // namespace vistrel::pages
