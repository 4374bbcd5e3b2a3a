#include "app/QtMessagePresenter.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>

namespace vistrel::app {

QtMessagePresenter::QtMessagePresenter(LineSink displaySink) : m_display(std::move(displaySink)) {}

bool QtMessagePresenter::interactive()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return false;
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void QtMessagePresenter::show(Kind kind, const QString &text, const QString &title)
{
    if (interactive()) {
        const QString caption = title.isEmpty() ? QStringLiteral("Vistrel") : title;
        switch (kind) {
        case Kind::Information:
            QMessageBox::information(nullptr, caption, text);
            break;
        case Kind::Warning:
            QMessageBox::warning(nullptr, caption, text);
            break;
        case Kind::Error:
            QMessageBox::critical(nullptr, caption, text);
            break;
        }
        return;
    }
    if (m_display)
        m_display(text);
    std::fprintf(stderr, "Vistrel: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace vistrel::app
