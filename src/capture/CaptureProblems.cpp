#include "capture/CaptureProblems.h"

#include "platform/ProgramContext.h"

namespace vistrel::capture {

CaptureProblems::CaptureProblems(platform::ProgramContext &context, QString favourite)
    : m_context(context), m_favourite(std::move(favourite))
{
}

void CaptureProblems::show(Kind, const QString &text, const QString &)
{
    const QString line = QStringLiteral("Capture of %1: %2").arg(m_favourite, text);
    m_context.display.write(line);
    m_context.trace.add(line);
    m_context.trace.save();
    ++m_context.flags.captureProblems;
}

} // namespace vistrel::capture
