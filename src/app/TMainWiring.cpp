// How the window's parts meet: the refresh command and what it calls.
#include "app/TMain.h"

#include "catalogue/RefreshDriver.h"

namespace vistrel::app {

void TMain::wireSubsystems()
{
    m_refresh = std::make_unique<catalogue::RefreshDriver>(m_context);
    setRefreshCommand([this] { m_refresh->Button2Click(); });
}

} // namespace vistrel::app
