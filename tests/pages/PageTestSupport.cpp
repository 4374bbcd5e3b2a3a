#include "PageTestSupport.h"

#include <libxml/xpath.h>

#include <cstdio>
#include <stdexcept>

namespace vistrel::test {

namespace {

std::string hex(const std::string &bytes)
{
    std::string out;
    char pair[3];
    for (unsigned char c : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", c);
        out += pair;
    }
    return out;
}

// The character-reference escaping of names, plus the two characters an
// attribute value cannot hold.
std::string escaped(const std::string &text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c <= 32 || c == 127 || c == '"' || c == '<')
            out += "&#" + std::to_string(int(c)) + ";";
        else
            out += char(c);
    }
    return out;
}

// A Location as the listing writer leaves it: only the characters an
// attribute value cannot hold are references (the writer has already turned
// "&" into "and"; a hand-written listing may still hold one).
std::string attribute(const std::string &text)
{
    std::string out;
    for (char c : text)
        out += c == '"' ? std::string("&#34;") : c == '<' ? std::string("&#60;") : c == '&' ? std::string("&amp;") : std::string(1, c);
    return out;
}

const char *const kLfCr = "\n\r";

std::string linkPieces(const TestLink &link)
{
    std::string out;
    out += std::string("PRECODE = \"200\" ") + kLfCr;
    if (!link.url.empty())
        out += "PID_IS_URL=\"" + escaped(link.url) + "\"" + kLfCr;
    out += std::string("VISITS=\"0\"") + kLfCr;
    out += std::string("CODE = \"200\" ") + kLfCr;
    if (link.withImage)
        out += "IMAGE =\"" + imageOf(link.name) + "\" " + kLfCr;
    return out;
}

} // namespace

std::string uniqueOf(const std::string &location, const std::string &name)
{
    std::string folder = "/home/user/Favorites";
    if (!location.empty()) {
        std::string path = location;
        for (char &c : path)
            if (c == '\\')
                c = '/';
        folder += "/" + path;
    }
    return hex(folder + "/" + name + ".url");
}

std::string imageOf(const std::string &name)
{
    return "images\\20202031" + hex(name) + ".BMP";
}

std::vector<TestLink> numberedLinks(int n, const std::string &prefix)
{
    std::vector<TestLink> links;
    for (int i = 1; i <= n; ++i)
        links.push_back({prefix + std::to_string(i), "http://example.com/" + prefix + std::to_string(i), i - 1, true});
    return links;
}

QByteArray makeListing(const std::vector<TestFolder> &folders, long long time, bool homePage)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<BROWSERINFO \r\n";
    text += "Time=\"" + std::to_string(time) + "\"\r\n";
    text += homePage ? "HomePage=\"YES\">\r\n" : "HomePage=\"No\">\r\n";
    text += "<Favoritesfolder>\r\n";
    for (const TestFolder &folder : folders) {
        text += "<Folder Location = \"" + attribute(folder.location) + "\">\r\n";
        for (const TestLink &link : folder.links) {
            text += std::string("<Link ") + kLfCr;
            text += "UNIQUE=\"" + uniqueOf(folder.location, link.name) + "\" " + kLfCr;
            text += std::string("BROWSER=\"IE\"") + kLfCr;
            text += "SORT_ORDER=\"" + std::to_string(link.sortOrder) + "\"" + kLfCr;
            text += "DESCRIPTION=\"" + escaped(link.name) + "\" " + kLfCr;
            text += linkPieces(link);
            text += "></Link>\r\n";
        }
        text += "</Folder>\r\n";
    }
    text += "</Favoritesfolder>\r\n</BROWSERINFO>\r\n";
    return QByteArray::fromStdString(text);
}

QByteArray makeHistory(const std::vector<TestLink> &links, long long time)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<BROWSERINFO \r\n";
    text += "Time=\"" + std::to_string(time) + "\">\r\n<History>\r\n";
    for (const TestLink &link : links) {
        text += "<Link \r\nBROWSER=\"IE\"\r\nDESCRIPTION=\"" + escaped(link.name) + "\" \r\n";
        text += linkPieces(link) + "\r\n></Link>\r\n";
    }
    text += "</History>\r\n</BROWSERINFO>\r\n";
    return QByteArray::fromStdString(text);
}

HtmlPage::HtmlPage(const QByteArray &html)
    : m_doc(htmlReadMemory(html.constData(), int(html.size()), nullptr, "UTF-8",
                           HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET))
{
    if (!m_doc)
        throw std::runtime_error("the page does not parse as HTML");
}

HtmlPage::~HtmlPage()
{
    xmlFreeDoc(m_doc);
}

namespace {

struct XPathResult
{
    xmlXPathContextPtr context;
    xmlXPathObjectPtr object;
    ~XPathResult()
    {
        xmlXPathFreeObject(object);
        xmlXPathFreeContext(context);
    }
};

} // namespace

int HtmlPage::count(const std::string &xpath) const
{
    XPathResult r{xmlXPathNewContext(m_doc), nullptr};
    r.object = xmlXPathEvalExpression(BAD_CAST xpath.c_str(), r.context);
    if (!r.object || r.object->type != XPATH_NODESET)
        throw std::runtime_error("not a node-set: " + xpath);
    return r.object->nodesetval ? r.object->nodesetval->nodeNr : 0;
}

std::string HtmlPage::text(const std::string &xpath) const
{
    XPathResult r{xmlXPathNewContext(m_doc), nullptr};
    r.object = xmlXPathEvalExpression(BAD_CAST("string(" + xpath + ")").c_str(), r.context);
    if (!r.object || r.object->type != XPATH_STRING)
        throw std::runtime_error("bad expression: " + xpath);
    return reinterpret_cast<const char *>(r.object->stringval);
}

std::vector<std::string> HtmlPage::values(const std::string &xpath) const
{
    XPathResult r{xmlXPathNewContext(m_doc), nullptr};
    r.object = xmlXPathEvalExpression(BAD_CAST xpath.c_str(), r.context);
    if (!r.object || r.object->type != XPATH_NODESET)
        throw std::runtime_error("not a node-set: " + xpath);
    std::vector<std::string> out;
    for (int i = 0; r.object->nodesetval && i < r.object->nodesetval->nodeNr; ++i) {
        xmlChar *value = xmlNodeGetContent(r.object->nodesetval->nodeTab[i]);
        out.emplace_back(value ? reinterpret_cast<const char *>(value) : "");
        xmlFree(value);
    }
    return out;
}

} // namespace vistrel::test
