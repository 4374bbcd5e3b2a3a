#pragma once

#include <QString>

namespace vistrel::platform {

// One way for every message box of the program. With a person at the screen it
// is a modal box; headless, the text goes to the server display and standard
// error and the program goes on.
class MessagePresenter
{
public:
    enum class Kind { Information, Warning, Error };
    virtual ~MessagePresenter() = default;
    virtual void show(Kind kind, const QString &text, const QString &title = QString()) = 0;

    void information(const QString &text) { show(Kind::Information, text); }
    void warning(const QString &text) { show(Kind::Warning, text); }
    void error(const QString &text) { show(Kind::Error, text); }
};

} // namespace vistrel::platform
