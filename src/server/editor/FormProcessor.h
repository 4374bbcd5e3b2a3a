#pragma once

#include "server/editor/HistoryFavourite.h"

#include <QByteArray>
#include <QString>

namespace vistrel::platform {
struct ProgramContext;
}

namespace vistrel::server {

// The two addresses the served pages post their forms to.
inline constexpr char kEditorAddress[] = "/cgi-bin/cgifrm1.exe";
inline constexpr char kHistoryAddress[] = "/cgi-bin/cgifrm2.exe";
bool isFormAddress(QByteArrayView path);

// One complete form post as it arrived.
struct PostedForm
{
    QByteArray path;
    QByteArray version;
    QString clientAddress;
    QByteArray body;
};

// Processes one post from its body to its answer: carries out the editor's
// pieces or adds the history page's site, records what was done in
// "values.log" and "CgiFrm1.txt", and gives the report page. Each post gets its
// own processor, so nothing of one post's report is seen by another.
class FormProcessor
{
public:
    FormProcessor(platform::ProgramContext &context, TitleFetch fetchTitle);

    // The whole answer, header included.
    QByteArray process(const PostedForm &form);

private:
    platform::ProgramContext &m_context;
    TitleFetch m_fetchTitle;
};

} // namespace vistrel::server
