// SPDX-License-Identifier: MIT
#include "ui/colour_swatch.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace pictora::ui
{

ColourSwatch::ColourSwatch(QWidget *parent)
    : QFrame(parent)
{
    setFixedSize(25, 17);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void ColourSwatch::setColour(std::uint32_t colour)
{
    colour &= 0xFFFFFFu;
    if (colour == m_colour)
        return;
    m_colour = colour;
    update();
}

void ColourSwatch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // The frame takes the workspace colour, as the colour edits beside it do.
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    const QColor fill(m_colour & 0xFF, (m_colour >> 8) & 0xFF, (m_colour >> 16) & 0xFF);
    painter.fillRect(rect().adjusted(1, 1, -1, -1), isEnabled() ? fill : fill.lighter(140));
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

void ColourSwatch::mousePressEvent(QMouseEvent *event)
{
    // Disabled widgets receive no mouse events, so reaching here means the swatch may react.
    event->accept();
    emit pressed();
}

void ColourSwatch::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        emit pressed();
        return;
    }
    QFrame::keyPressEvent(event);
}

} // namespace pictora::ui
