#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::server {

// What one form post did, a line per action, in the order they happened. The
// lines are HTML: the fixed text of a format is markup, the values put into it
// are escaped, since they come from the post or from file names.
class ActionReport
{
public:
    // Each "%s" of the format takes the next value, "%d" the next number.
    void add(std::string_view format, std::initializer_list<std::string_view> values);
    void add(std::string_view format, std::initializer_list<std::string_view> values, int number);
    const std::vector<std::string> &lines() const { return m_lines; }
    void clear() { m_lines.clear(); }

private:
    std::vector<std::string> m_lines;
};

} // namespace vistrel::server
