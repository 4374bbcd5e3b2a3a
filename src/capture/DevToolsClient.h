#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <deque>
#include <map>
#include <optional>
#include <set>

namespace vistrel::capture {

// The browser's debugging protocol as messages, apart from any process or
// pipe: commands go out as NUL-terminated JSON with fresh ids; the bytes that
// come back, in whatever pieces, are cut at the NULs and sorted into answers
// (kept by id until taken) and events (kept in order).
class DevToolsClient
{
public:
    // A screenshot of a 1024 x 768 page is a few megabytes of base64; anything
    // this long means the stream has lost its framing.
    static constexpr qsizetype kMaxMessageBytes = 64 * 1024 * 1024;

    struct Answer
    {
        QJsonObject result;
        QString error; // the protocol's error message; empty on success
    };

    struct Event
    {
        QString method;
        QJsonObject params;
        QString sessionId; // empty for the browser's own events
    };

    // The frame to write for a command, and its id.
    QByteArray command(const QString &method, const QJsonObject &params, const QString &sessionId, int &id);

    // Takes bytes read from the browser. False once the stream is broken (a
    // message that is not a JSON object, or longer than the limit); from then
    // on nothing more is taken.
    bool feed(const QByteArray &bytes);
    bool broken() const { return !m_failure.isEmpty(); }
    const QString &failure() const { return m_failure; }

    bool hasAnswer(int id) const { return m_answers.count(id) != 0; }
    std::optional<Answer> takeAnswer(int id);
    // A command whose answer no longer matters: a late answer is dropped.
    void forget(int id);

    bool hasEvents() const { return !m_events.empty(); }
    std::deque<Event> takeEvents();

private:
    void take(const QByteArray &message);

    int m_nextId = 1;
    QByteArray m_partial;
    std::set<int> m_pending;
    std::map<int, Answer> m_answers;
    std::deque<Event> m_events;
    QString m_failure;
};

} // namespace vistrel::capture
