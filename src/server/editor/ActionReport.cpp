#include "server/editor/ActionReport.h"

#include "server/editor/HtmlText.h"

namespace vistrel::server {

void ActionReport::add(std::string_view format, std::initializer_list<std::string_view> values)
{
    add(format, values, 0);
}

void ActionReport::add(std::string_view format, std::initializer_list<std::string_view> values, int number)
{
    std::string line;
    auto next = values.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == 's') {
                if (next != values.end())
                    line += htmlText(*next++);
                ++i;
                continue;
            }
            if (format[i + 1] == 'd') {
                line += std::to_string(number);
                ++i;
                continue;
            }
        }
        line += format[i];
    }
    m_lines.push_back(std::move(line));
}

} // namespace vistrel::server
