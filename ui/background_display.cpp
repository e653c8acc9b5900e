// SPDX-License-Identifier: MIT
#include "ui/background_display.h"

#include <QPainter>

namespace pictora::ui
{

BackgroundDisplay::BackgroundDisplay(QWidget *parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
}

void BackgroundDisplay::clear()
{
    m_image = QImage();
    update();
}

void BackgroundDisplay::setImage(const QImage &image)
{
    // Only the scaled copy is kept: a background may be a large photo.
    const QSize box = contentsRect().size();
    m_image = image.isNull() ? QImage() : image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    update();
}

void BackgroundDisplay::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (m_image.isNull())
        return;
    QPainter painter(this);
    const QRect box = contentsRect();
    const QPoint origin(
        box.x() + (box.width() - m_image.width()) / 2, box.y() + (box.height() - m_image.height()) / 2);
    painter.drawImage(origin, m_image);
}

} // namespace pictora::ui
