#pragma once

#include <QByteArray>
#include <QString>

#include <libxml/HTMLparser.h>

#include <string>
#include <vector>

namespace vistrel::test {

struct TestLink
{
    std::string name;  // the shortcut's name without ".url"
    std::string url;   // PID_IS_URL; none when empty
    int sortOrder = -1;
    bool withImage = true;
};

struct TestFolder
{
    std::string location; // backslash-separated, empty for the Favorites folder
    std::vector<TestLink> links;
};

// A listing document written line by line as the refresh writes it.
QByteArray makeListing(const std::vector<TestFolder> &folders, long long time = 463645000,
                       bool homePage = false);
// A history document with one entry per link.
QByteArray makeHistory(const std::vector<TestLink> &links, long long time = 463645001);

// The values the listing gives a link.
std::string uniqueOf(const std::string &location, const std::string &name);
std::string imageOf(const std::string &name);

// n links named prefix1, prefix2, ...
std::vector<TestLink> numberedLinks(int n, const std::string &prefix = "Site");

// A generated page, parsed as a browser would, for questions by XPath.
class HtmlPage
{
public:
    explicit HtmlPage(const QByteArray &html);
    ~HtmlPage();
    HtmlPage(const HtmlPage &) = delete;
    HtmlPage &operator=(const HtmlPage &) = delete;

    int count(const std::string &xpath) const;
    std::string text(const std::string &xpath) const; // string() of the expression
    std::vector<std::string> values(const std::string &xpath) const; // each node's string value

private:
    htmlDocPtr m_doc;
};

} // namespace vistrel::test
