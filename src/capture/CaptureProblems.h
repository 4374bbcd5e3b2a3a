#pragma once

#include "platform/MessagePresenter.h"

namespace vistrel::platform {
struct ProgramContext;
}

namespace vistrel::capture {

// Where the capture procedure's failures go: a line on the server display and
// in "files.log", never a box, so an unattended refresh does not stop at every
// failing site. They are counted in MainFlags::captureProblems; the refresh
// tells the user once, at its end.
class CaptureProblems : public platform::MessagePresenter
{
public:
    CaptureProblems(platform::ProgramContext &context, QString favourite);
    void show(Kind kind, const QString &text, const QString &title = QString()) override;

private:
    platform::ProgramContext &m_context;
    QString m_favourite;
};

} // namespace vistrel::capture
