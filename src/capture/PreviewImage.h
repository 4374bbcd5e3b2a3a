#pragma once

#include <QImage>
#include <QObject>

namespace vistrel::capture {

// The preview picture of the settings page: every page image is drawn on it or
// copied into it before it is saved, so the window shows the latest one.
class PreviewImage : public QObject
{
    Q_OBJECT
public:
    static constexpr int kSize = 122;

    explicit PreviewImage(QObject *parent = nullptr);

    const QImage &image() const { return m_image; }
    // Takes the picture (any size); shown as it is.
    void setImage(const QImage &image);

signals:
    void changed(const QImage &image);

private:
    QImage m_image;
};

} // namespace vistrel::capture
