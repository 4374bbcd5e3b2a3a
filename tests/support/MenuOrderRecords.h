#pragma once

#include "catalogue/MenuOrder.h"

#include <initializer_list>
#include <string>

namespace vistrel::test {

// One item record as the browser stores it: length, order byte, attributes, name.
inline std::string menuOrderRecord(const std::string &name, int order, unsigned char attribute = 0x20,
                                   std::size_t padding = 4, int lengthHigh = 0)
{
    using namespace catalogue::menu_order;
    std::string r(kNameOffset, '\0');
    r += name;
    r += '\0';
    r += std::string(padding, 'p');
    const std::size_t length = r.size();
    r[0] = static_cast<char>(length & 0xFF);
    r[1] = static_cast<char>(length >> 8);
    r[2] = static_cast<char>(lengthHigh);
    r[kOrderOffset] = static_cast<char>(order);
    r[kAttributeOffset] = static_cast<char>(attribute);
    return r;
}

// A whole "Order" value: the header, then the records.
inline std::string menuOrderValue(std::initializer_list<std::string> records)
{
    std::string v(catalogue::menu_order::kHeaderSize, 'H');
    for (const auto &r : records)
        v += r;
    return v;
}

} // namespace vistrel::test
