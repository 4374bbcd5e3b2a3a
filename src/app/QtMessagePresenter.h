#pragma once

#include "platform/MessagePresenter.h"

#include <functional>

namespace vistrel::app {

// Modal QMessageBox when a display is there, otherwise the headless path.
class QtMessagePresenter : public platform::MessagePresenter
{
public:
    using LineSink = std::function<void(const QString &)>;
    explicit QtMessagePresenter(LineSink displaySink = {});
    void show(Kind kind, const QString &text, const QString &title = QString()) override;
    void setDisplaySink(LineSink sink) { m_display = std::move(sink); }
    static bool interactive();

private:
    LineSink m_display;
};

} // namespace vistrel::app
