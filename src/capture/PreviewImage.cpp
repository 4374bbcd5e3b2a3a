#include "capture/PreviewImage.h"

namespace vistrel::capture {

PreviewImage::PreviewImage(QObject *parent) : QObject(parent), m_image(kSize, kSize, QImage::Format_RGB888)
{
    m_image.fill(Qt::white);
}

void PreviewImage::setImage(const QImage &image)
{
    m_image = image;
    emit changed(m_image);
}

} // namespace vistrel::capture
