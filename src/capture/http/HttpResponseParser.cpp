#include "capture/http/HttpResponseParser.h"

#include "capture/http/HttpLimits.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace vistrel::capture::http {

namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// No chunk may claim more than this; anything larger is a broken size line.
constexpr std::uint64_t kMaxChunkSize = std::uint64_t(1) << 60;

} // namespace

HttpResponseParser::HttpResponseParser(bool readBody) : m_readBody(readBody) {}

int HttpResponseParser::status() const
{
    if (m_headers.empty())
        return -1;
    std::string_view first = m_headers.front();
    // The second blank-separated word.
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < first.size() && (first[i] == ' ' || first[i] == '\t'))
            ++i;
    };
    auto skipWord = [&] {
        while (i < first.size() && first[i] != ' ' && first[i] != '\t')
            ++i;
    };
    skipBlanks();
    skipWord();
    skipBlanks();
    const std::size_t start = i;
    skipWord();
    const std::string_view word = first.substr(start, i - start);
    if (word.empty())
        return -1;
    int value = 0;
    const auto [ptr, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || ptr != word.data() + word.size())
        return -1;
    return value;
}

bool HttpResponseParser::headerValue(const std::vector<std::string> &lines, std::string_view name, std::string &value)
{
    const std::string wanted = lower(name);
    for (std::size_t n = 1; n < lines.size(); ++n) {
        const std::string &line = lines[n];
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        if (lower(trimmed(std::string_view(line).substr(0, colon))) == wanted) {
            value = std::string(trimmed(std::string_view(line).substr(colon + 1)));
            return true;
        }
    }
    return false;
}

bool HttpResponseParser::takeLine(const char *&p, const char *end, std::size_t limit)
{
    while (p < end) {
        const char c = *p++;
        if (c == '\n') {
            if (const std::size_t cr = m_line.find('\r'); cr != std::string::npos)
                m_line.erase(cr, 1);
            m_lineOverflow = false;
            return true;
        }
        if (m_line.size() < limit)
            m_line += c;
        else
            m_lineOverflow = true; // the rest of an overlong line is dropped
    }
    return false;
}

void HttpResponseParser::feed(QByteArrayView bytes)
{
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    while (p < end && !finished()) {
        switch (m_phase) {
        case Phase::Header:
            if (takeLine(p, end, kMaxHeaderLineBytes))
                headerLine();
            break;
        case Phase::LengthBody: {
            const std::size_t take = std::size_t(std::min<std::uint64_t>(m_remaining, std::uint64_t(end - p)));
            const bool room = appendBody(p, take);
            p += take;
            m_remaining -= take;
            if (room && m_remaining == 0)
                m_phase = Phase::Done;
            break;
        }
        case Phase::CloseBody:
            appendBody(p, std::size_t(end - p));
            p = end;
            break;
        case Phase::ChunkSize:
            if (takeLine(p, end, kMaxChunkLineBytes))
                chunkSizeLine();
            break;
        case Phase::ChunkData: {
            const std::size_t take = std::size_t(std::min<std::uint64_t>(m_remaining, std::uint64_t(end - p)));
            const bool room = appendBody(p, take);
            p += take;
            m_remaining -= take;
            if (room && m_remaining == 0)
                m_phase = Phase::ChunkDataEnd;
            break;
        }
        case Phase::ChunkDataEnd:
            if (takeLine(p, end, kMaxChunkLineBytes)) {
                m_line.clear();
                m_phase = Phase::ChunkSize;
            }
            break;
        case Phase::Trailer:
            if (takeLine(p, end, kMaxChunkLineBytes)) {
                m_line.clear();
                m_phase = Phase::Done;
            }
            break;
        case Phase::Done:
        case Phase::Failed:
            return;
        }
    }
}

void HttpResponseParser::endOfStream()
{
    switch (m_phase) {
    case Phase::Header:
        // A response cut short (or one without any header, as HTTP/0.9 sends)
        // is what it is: its first line, if any, decides the status.
        if (!m_line.empty()) {
            if (const std::size_t cr = m_line.find('\r'); cr != std::string::npos)
                m_line.erase(cr, 1);
            m_headers.push_back(std::move(m_line));
            m_line.clear();
        }
        m_phase = Phase::Done;
        break;
    case Phase::LengthBody:
    case Phase::ChunkSize:
    case Phase::ChunkData:
    case Phase::ChunkDataEnd:
        m_truncated = true;
        m_phase = Phase::Done;
        break;
    case Phase::Trailer:
    case Phase::CloseBody:
        m_phase = Phase::Done;
        break;
    case Phase::Done:
    case Phase::Failed:
        break;
    }
}

void HttpResponseParser::headerLine()
{
    if (m_headers.size() >= kMaxHeaderLines) {
        fail(QStringLiteral("Too many header lines"));
        return;
    }
    const bool last = m_line.empty();
    m_headers.push_back(std::move(m_line));
    m_line.clear();
    if (last)
        startBody();
}

void HttpResponseParser::startBody()
{
    if (!m_readBody) {
        m_phase = Phase::Done;
        return;
    }
    std::string value;
    if (headerValue(m_headers, "Transfer-Encoding", value) && lower(value) == "chunked") {
        m_phase = Phase::ChunkSize;
        return;
    }
    if (headerValue(m_headers, "Content-Length", value)) {
        std::uint64_t length = 0;
        const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), length);
        if (ec == std::errc() && ptr == value.data() + value.size() && length > 0) {
            m_remaining = length;
            m_phase = Phase::LengthBody;
            return;
        }
    }
    // No usable length: the body runs until the server closes.
    m_phase = Phase::CloseBody;
}

void HttpResponseParser::chunkSizeLine()
{
    std::string_view text = trimmed(m_line);
    if (const std::size_t semicolon = text.find(';'); semicolon != std::string_view::npos)
        text = trimmed(text.substr(0, semicolon)); // chunk extensions carry nothing we need
    std::uint64_t size = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), size, 16);
    const bool valid = !text.empty() && ec == std::errc() && ptr == text.data() + text.size() && size <= kMaxChunkSize;
    m_line.clear();
    if (!valid) {
        fail(QStringLiteral("Error receiving the stream"));
        return;
    }
    if (size == 0) {
        m_phase = Phase::Trailer;
    } else {
        m_remaining = size;
        m_phase = Phase::ChunkData;
    }
}

bool HttpResponseParser::appendBody(const char *data, std::size_t size)
{
    const std::size_t room = kMaxBodyBytes - std::size_t(m_body.size());
    const std::size_t take = std::min(size, room);
    m_body.append(data, qsizetype(take));
    if (std::size_t(m_body.size()) < kMaxBodyBytes)
        return true;
    // Full: only a body announced to end exactly here is complete.
    if (m_phase == Phase::LengthBody && size == take && m_remaining == take)
        return true;
    m_truncated = true;
    m_phase = Phase::Done;
    return false;
}

void HttpResponseParser::fail(const QString &text)
{
    m_error = text;
    m_phase = Phase::Failed;
}

} // namespace vistrel::capture::http
