#include "platform/urlcache/TextArena.h"

#include <cstring>

namespace vistrel::platform {

std::string_view TextArena::keep(std::string_view text)
{
    if (text.empty())
        return {};
    if (text.size() > kOwnBlockBytes) {
        auto &block = m_blocks.emplace_back(std::make_unique_for_overwrite<char[]>(text.size()));
        m_reserved += text.size();
        std::memcpy(block.get(), text.data(), text.size());
        return {block.get(), text.size()};
    }
    if (text.size() > m_freeBytes) {
        m_free = m_blocks.emplace_back(std::make_unique_for_overwrite<char[]>(kBlockBytes)).get();
        m_freeBytes = kBlockBytes;
        m_reserved += kBlockBytes;
    }
    char *stored = m_free;
    std::memcpy(stored, text.data(), text.size());
    m_free += text.size();
    m_freeBytes -= text.size();
    return {stored, text.size()};
}

void TextArena::clear()
{
    m_blocks.clear();
    m_free = nullptr;
    m_freeBytes = 0;
    m_reserved = 0;
}

} // namespace vistrel::platform
