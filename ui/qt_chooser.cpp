// SPDX-License-Identifier: MIT
#include "ui/qt_chooser.h"

#include "ui/qt_text.h"
#include "ui/time_shift_dialog.h"

#include "album/picture_files.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>

namespace pictora::ui
{

namespace
{

enum Mode { OpenPictures, OpenProject, SaveProject };

QColor toQColor(std::uint32_t colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

std::uint32_t fromQColor(const QColor &colour)
{
    return static_cast<std::uint32_t>(colour.red()) | (static_cast<std::uint32_t>(colour.green()) << 8)
        | (static_cast<std::uint32_t>(colour.blue()) << 16);
}

} // namespace

QString toQtFilter(const QString &pairs)
{
    const QStringList parts = pairs.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString &description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        filters << (description.contains(u'(') ? description
                                               : description + QStringLiteral(" (") + patterns + u')');
    }
    return filters.join(QStringLiteral(";;"));
}

QtChooser::QtChooser(QWidget *parent)
    : m_parent(parent)
{
}

QtChooser::~QtChooser()
{
    delete m_openImage;
    delete m_openProject;
    delete m_saveProject;
    delete m_shiftTime;
}

QFileDialog &QtChooser::dialog(QPointer<QFileDialog> &slot, int mode)
{
    if (slot)
        return *slot;
    slot = new QFileDialog(m_parent);
    QFileDialog &box = *slot;
    box.setSizeGripEnabled(true);
    switch (mode) {
    case OpenPictures:
        box.setFileMode(QFileDialog::ExistingFiles);
        box.setAcceptMode(QFileDialog::AcceptOpen);
        box.setNameFilter(toQtFilter(toQString(album::openPictureFilter())));
        break;
    case OpenProject:
        box.setFileMode(QFileDialog::ExistingFile);
        box.setAcceptMode(QFileDialog::AcceptOpen);
        box.setNameFilter(toQtFilter(toQString(album::kProjectFilter)));
        box.setDefaultSuffix(QStringLiteral("pxa"));
        break;
    case SaveProject:
        box.setFileMode(QFileDialog::AnyFile);
        box.setAcceptMode(QFileDialog::AcceptSave);
        box.setNameFilter(toQtFilter(toQString(album::kProjectFilter)));
        box.setDefaultSuffix(QStringLiteral("pxa"));
        // Replacing an existing file is asked about (Qt asks unless told not to).
        box.setOption(QFileDialog::DontConfirmOverwrite, false);
        break;
    }
    return box;
}

std::vector<std::string> QtChooser::openPictures()
{
    QFileDialog &box = dialog(m_openImage, OpenPictures);
    std::vector<std::string> paths;
    if (box.exec() != QDialog::Accepted)
        return paths;
    for (const QString &file : box.selectedFiles())
        paths.push_back(toStdString(file));
    return paths;
}

std::optional<std::string> QtChooser::openProject()
{
    QFileDialog &box = dialog(m_openProject, OpenProject);
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return std::nullopt;
    return toStdString(box.selectedFiles().front());
}

std::optional<std::string> QtChooser::saveProject(const std::string &current)
{
    QFileDialog &box = dialog(m_saveProject, SaveProject);
    if (!current.empty())
        box.selectFile(toQString(current));
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return std::nullopt;
    return toStdString(box.selectedFiles().front());
}

std::optional<std::string> QtChooser::pickFolder(const std::string &startFolder)
{
    const QString chosen = QFileDialog::getExistingDirectory(
        m_parent, toQString(album::kFolderBrowserTitle), toQString(startFolder), QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return std::nullopt;
    return toStdString(chosen);
}

std::optional<std::uint32_t> QtChooser::pickColour(std::uint32_t preset)
{
    // Solid colours only: the dialog offers no transparency.
    const QColor chosen = QColorDialog::getColor(toQColor(preset), m_parent);
    if (!chosen.isValid())
        return std::nullopt;
    return fromQColor(chosen);
}

std::optional<album::TimeShiftChoice> QtChooser::pickTimeShift(std::size_t count)
{
    // Made once, so that the offset of the last shift is offered again.
    if (!m_shiftTime)
        m_shiftTime = new TimeShiftDialog(m_parent);
    return static_cast<TimeShiftDialog *>(m_shiftTime.data())->ask(count);
}

} // namespace pictora::ui
