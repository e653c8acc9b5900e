// SPDX-License-Identifier: MIT
#pragma once

#include "album/choosers.h"

#include <QPointer>
#include <QString>

class QDialog;
class QFileDialog;
class QWidget;

namespace pictora::ui
{

/// "JPEG|*.jpg;*.jpeg|PNG|*.png" to Qt's "JPEG (*.jpg *.jpeg);;PNG (*.png)"; a description that
/// already shows its patterns in parentheses is kept as it is.
[[nodiscard]] QString toQtFilter(const QString &pairs);

/// The window's file, folder and colour dialogs. Each file dialog is made once and reused, so it
/// opens where it was last left.
class QtChooser final : public album::Chooser
{
public:
    explicit QtChooser(QWidget *parent);
    ~QtChooser() override;
    /// The window the dialogs belong to (it may be made after the chooser).
    void setParent(QWidget *parent) { m_parent = parent; }

    std::vector<std::string> openPictures() override;
    std::optional<std::string> openProject() override;
    std::optional<std::string> saveProject(const std::string &current) override;
    std::optional<std::string> pickFolder(const std::string &startFolder) override;
    std::optional<std::uint32_t> pickColour(std::uint32_t preset) override;
    std::optional<album::TimeShiftChoice> pickTimeShift(std::size_t count) override;

private:
    QFileDialog &dialog(QPointer<QFileDialog> &slot, int mode);

    QPointer<QWidget> m_parent;
    QPointer<QFileDialog> m_openImage;
    QPointer<QFileDialog> m_openProject;
    QPointer<QFileDialog> m_saveProject;
    QPointer<QDialog> m_shiftTime;
};

} // namespace pictora::ui
