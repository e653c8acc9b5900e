// SPDX-License-Identifier: MIT
#pragma once

#include <QFrame>

#include <cstdint>

namespace pictora::ui
{

/// A small filled rectangle showing a colour option's screen colour. Any mouse button (and, for
/// keyboard users, Space or Enter) asks for the colour dialog; a disabled swatch stays inert.
class ColourSwatch : public QFrame
{
    Q_OBJECT
public:
    explicit ColourSwatch(QWidget *parent = nullptr);

    /// The screen colour value shown: red in bits 0 to 7, green 8 to 15, blue 16 to 23.
    [[nodiscard]] std::uint32_t colour() const { return m_colour; }
    void setColour(std::uint32_t colour);

    [[nodiscard]] QSize sizeHint() const override { return { 25, 17 }; }

signals:
    void pressed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::uint32_t m_colour = 0;
};

} // namespace pictora::ui
