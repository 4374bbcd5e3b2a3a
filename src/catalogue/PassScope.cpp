#include "catalogue/PassScope.h"

#include "platform/ProgramContext.h"

#include <QCoreApplication>

namespace vistrel::catalogue {

PassScope::PassScope(platform::ProgramContext &context) : m_context(context)
{
    m_context.status.setBusy(true);
    m_context.status.setRefreshControlsEnabled(false);
    m_context.flags.changePending = false;
}

PassScope::~PassScope()
{
    try {
        m_context.status.setRefreshControlsEnabled(true);
        QCoreApplication::processEvents();
        m_context.status.setLamp(platform::Lamp::Green);
        m_context.flags.writingShortcut = false;
        m_context.status.setBusy(false);
    } catch (...) {
        // The end steps run from a destructor: nothing may escape.
    }
}

} // namespace vistrel::catalogue
