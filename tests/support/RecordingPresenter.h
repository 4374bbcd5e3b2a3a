#pragma once

#include "platform/MessagePresenter.h"

#include <QList>
#include <QStringList>

namespace vistrel::test {

// Keeps what would have been shown, so a test can read the boxes back.
class RecordingPresenter : public platform::MessagePresenter
{
public:
    struct Shown
    {
        Kind kind;
        QString text;
        QString title;
    };
    QList<Shown> shown;
    void show(Kind kind, const QString &text, const QString &title = QString()) override
    {
        shown.append({kind, text, title});
    }
    QStringList texts() const
    {
        QStringList out;
        for (const auto &s : shown)
            out << s.text;
        return out;
    }
};

} // namespace vistrel::test
