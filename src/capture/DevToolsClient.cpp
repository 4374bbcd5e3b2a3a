#include "capture/DevToolsClient.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace vistrel::capture {

QByteArray DevToolsClient::command(const QString &method, const QJsonObject &params, const QString &sessionId, int &id)
{
    id = m_nextId++;
    QJsonObject message{{QStringLiteral("id"), id}, {QStringLiteral("method"), method}};
    if (!params.isEmpty())
        message.insert(QStringLiteral("params"), params);
    if (!sessionId.isEmpty())
        message.insert(QStringLiteral("sessionId"), sessionId);
    m_pending.insert(id);
    return QJsonDocument(message).toJson(QJsonDocument::Compact) + '\0';
}

bool DevToolsClient::feed(const QByteArray &bytes)
{
    if (broken())
        return false;
    qsizetype from = 0;
    for (;;) {
        const qsizetype end = bytes.indexOf('\0', from);
        if (end < 0)
            break;
        if (m_partial.isEmpty()) {
            take(bytes.mid(from, end - from));
        } else {
            m_partial.append(bytes.constData() + from, end - from);
            take(m_partial);
            m_partial.clear();
        }
        if (broken())
            return false;
        from = end + 1;
    }
    m_partial.append(bytes.constData() + from, bytes.size() - from);
    if (m_partial.size() > kMaxMessageBytes)
        m_failure = QStringLiteral("a message longer than %1 bytes").arg(kMaxMessageBytes);
    return !broken();
}

void DevToolsClient::take(const QByteArray &message)
{
    if (message.size() > kMaxMessageBytes) {
        m_failure = QStringLiteral("a message longer than %1 bytes").arg(kMaxMessageBytes);
        return;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(message, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        m_failure = QStringLiteral("a message that is not a JSON object: ") + error.errorString();
        return;
    }
    const QJsonObject object = document.object();
    const QJsonValue id = object.value(QStringLiteral("id"));
    if (!id.isUndefined()) {
        // An answer nobody waits for (forgotten, or never asked) is dropped.
        const int number = id.toInt(-1);
        if (m_pending.erase(number) == 0)
            return;
        Answer answer;
        answer.result = object.value(QStringLiteral("result")).toObject();
        const QJsonValue failure = object.value(QStringLiteral("error"));
        if (!failure.isUndefined()) {
            answer.error = failure.toObject().value(QStringLiteral("message")).toString();
            if (answer.error.isEmpty())
                answer.error = QStringLiteral("error");
        }
        m_answers[number] = std::move(answer);
        return;
    }
    const QString method = object.value(QStringLiteral("method")).toString();
    if (method.isEmpty())
        return;
    m_events.push_back({method, object.value(QStringLiteral("params")).toObject(),
                        object.value(QStringLiteral("sessionId")).toString()});
}

std::optional<DevToolsClient::Answer> DevToolsClient::takeAnswer(int id)
{
    const auto found = m_answers.find(id);
    if (found == m_answers.end())
        return std::nullopt;
    Answer answer = std::move(found->second);
    m_answers.erase(found);
    return answer;
}

void DevToolsClient::forget(int id)
{
    m_pending.erase(id);
    m_answers.erase(id);
}

std::deque<DevToolsClient::Event> DevToolsClient::takeEvents()
{
    std::deque<Event> out;
    out.swap(m_events);
    return out;
}

} // namespace vistrel::capture
