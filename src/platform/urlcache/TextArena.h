#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace vistrel::platform {

// Append-only storage for many short strings: one copy of each, packed into
// large blocks, never moved, so views into it stay valid until the arena goes.
// Saves the per-string header and allocation of std::string on huge histories.
class TextArena
{
public:
    static constexpr std::size_t kBlockBytes = std::size_t(1) << 20;
    // Longer texts get a block of their own instead of wasting a shared one's tail.
    static constexpr std::size_t kOwnBlockBytes = kBlockBytes / 8;

    std::string_view keep(std::string_view text);
    void clear();
    std::size_t bytesReserved() const { return m_reserved; }

private:
    std::vector<std::unique_ptr<char[]>> m_blocks;
    char *m_free = nullptr;     // the unused tail of the current shared block
    std::size_t m_freeBytes = 0;
    std::size_t m_reserved = 0;
};

} // namespace vistrel::platform
