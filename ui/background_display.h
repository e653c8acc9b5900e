// SPDX-License-Identifier: MIT
#pragma once

#include <QFrame>
#include <QImage>

namespace pictora::ui
{

/// The small display of the background picture: the whole picture scaled into the frame.
class BackgroundDisplay : public QFrame
{
    Q_OBJECT
public:
    explicit BackgroundDisplay(QWidget *parent = nullptr);

    void clear();
    void setImage(const QImage &image);
    [[nodiscard]] const QImage &image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
};

} // namespace pictora::ui
