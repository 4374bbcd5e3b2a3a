#include "catalogue/CaptureCall.h"

#include "platform/ProgramContext.h"
#include "platform/Trace.h"

#include <QFile>

namespace vistrel::catalogue {

namespace {

QString fromBytes(std::string_view bytes)
{
    return QFile::decodeName(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

} // namespace

CaptureCall::CaptureCall(platform::ProgramContext &context, std::string &currentLinkText)
    : m_context(context), m_currentLinkText(currentLinkText)
{
}

void CaptureCall::traceAndSave(const char *what, const QString &path, const QString &name)
{
    try {
        m_context.trace.add(QString::fromLatin1(what) + QLatin1Char(' ') + path + QLatin1Char(',') + name);
        m_context.trace.save();
    } catch (...) {
        // The trace must never stop a capture.
    }
}

void CaptureCall::operator()(std::string_view pathBytes, std::string_view nameBytes, bool isHistory)
{
    const QString path = fromBytes(pathBytes);
    const QString name = fromBytes(nameBytes);
    traceAndSave("starting", path, name);
    m_context.flags.lastCaptureTimedOut = false;
    try {
        m_context.status.showStatusNow();
        if (m_capture)
            m_context.flags.lastCaptureTimedOut = m_capture(path, name, isHistory, m_currentLinkText);
    } catch (const std::exception &e) {
        qCWarning(vistrelTrace) << "capture of" << path << name << "failed:" << e.what();
    } catch (...) {
        qCWarning(vistrelTrace) << "capture of" << path << name << "failed";
    }
    traceAndSave("ended", path, name);
}

} // namespace vistrel::catalogue
