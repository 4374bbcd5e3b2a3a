#pragma once

namespace vistrel::platform {
struct ProgramContext;
}

namespace vistrel::catalogue {

// The start and end steps shared by the favourites and the history pass: the
// tray turns busy, the refresh controls are disabled and a pending change is
// taken in hand; on every way out the controls come back, the lamp turns
// green, the program's own shortcut writes are forgotten and the tray is idle.
class PassScope
{
public:
    explicit PassScope(platform::ProgramContext &context);
    ~PassScope();
    PassScope(const PassScope &) = delete;
    PassScope &operator=(const PassScope &) = delete;

private:
    platform::ProgramContext &m_context;
};

} // namespace vistrel::catalogue
