#pragma once

#include "capture/BlankTest.h"
#include "capture/CaptureServices.h"

#include <QImage>
#include <QString>
#include <QThread>

#include <atomic>
#include <memory>
#include <string>

namespace vistrel::platform {
struct ProgramContext;
}

namespace vistrel::capture {

class ExtractImage;
class ThumbnailSource;

// What one capture works on: the program, its services, and the Link text
// the driver is building.
struct CaptureJob
{
    platform::ProgramContext &context;
    const CaptureServices &services;
    std::string &linkText;
};

// The capture worker. Its thread only hands GetInfo to the main thread and
// waits until it has run there: every file, drawing and socket operation of a
// capture happens on the main thread.
class TGet_Web : public QThread
{
    Q_OBJECT
public:
    // mainContext: an object of the main thread, through which GetInfo is run.
    TGet_Web(CaptureJob &job, QObject *mainContext);
    ~TGet_Web() override;

    QString Path;
    QString Name;
    bool IsHistory = false;

    bool getInfoDone() const { return m_getInfoDone; }

    // The per-favourite procedure; main thread only.
    void GetInfo();
    // Releases the transient resources, once; GetInfo ends with it.
    void TidyUp();

protected:
    void run() override { Execute(); }

private:
    void Execute();
    void getInfoSteps();

    CaptureJob &m_job;
    QObject *m_mainContext;
    std::atomic<bool> m_getInfoDone{false};

    // Transient state, released by TidyUp.
    std::unique_ptr<ThumbnailSource> m_ownThumbnails;
    std::unique_ptr<ExtractImage> m_extractor;
    Thumbnail m_extracted;
    QImage m_icon;
    QString m_temporaryShortcut;
    bool m_tidied = false;
};

} // namespace vistrel::capture
