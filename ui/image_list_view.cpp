// SPDX-License-Identifier: MIT
#include "ui/image_list_view.h"

#include "album/choosers.h"
#include "album/settings.h"
#include "document/picture_edit.h"
#include "imaging/capture_time.h"
#include "shell/platform_services.h"
#include "ui/qt_text.h"

#include <QEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QWidget>

#include <stdexcept>

namespace pictora::ui
{

namespace
{

/// Takes the changes the program makes while it shows an entry: showing never counts as an edit.
struct IgnoredChanges final : album::ChangeSink {
    void markProjectChanged() override { }
    void withdrawRebuild() override { }
};

template <typename T> T *required(QWidget &window, const char *name)
{
    T *found = window.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        throw std::logic_error(std::string("the window has no control ") + name);
    return found;
}

} // namespace

ImageListView::ImageListView(QWidget &window,
    album::ImageList &list,
    album::ChangeSink &changes,
    album::Prompter &prompts,
    album::Chooser &chooser)
    : QObject(&window)
    , m_list(list)
    , m_changes(changes)
    , m_prompts(prompts)
    , m_chooser(chooser)
    , m_timeStampOf([](const std::string &path) { return imaging::captureTimeStamp(path); })
    , m_order(shell::localeNameOrder())
    , m_listBox(required<QListWidget>(window, "lbFileList"))
    , m_memo(required<QPlainTextEdit>(window, "Memo"))
    , m_timeStamp(required<QLineEdit>(window, "edTimeStamp"))
{
    if (m_listBox->selectionMode() == QAbstractItemView::SingleSelection
        || m_listBox->selectionMode() == QAbstractItemView::NoSelection)
        m_listBox->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Entries are moved with the buttons only.
    m_listBox->setDragDropMode(QAbstractItemView::NoDragDrop);
    m_listBox->setUniformItemSizes(true);
    connect(m_listBox, &QListWidget::itemSelectionChanged, this, &ImageListView::listSelectionChanged);
    connect(m_listBox, &QListWidget::currentRowChanged, this, &ImageListView::listCurrentChanged);
    connect(m_memo, &QPlainTextEdit::textChanged, this, &ImageListView::memoChanged);
    m_memo->viewport()->installEventFilter(this);
    connect(m_timeStamp, &QLineEdit::textChanged, this, &ImageListView::timeStampChanged);
    refresh();
}

void ImageListView::addImages()
{
    std::vector<std::string> chosen = m_chooser.openPictures();
    if (chosen.empty())
        return;
    if (m_list.addPictures(std::move(chosen), m_prompts, m_order, m_timeStampOf, m_changes))
        refresh();
}

void ImageListView::dropFiles(const QStringList &localPaths)
{
    if (localPaths.isEmpty())
        return;
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(localPaths.size()));
    for (const QString &path : localPaths)
        names.push_back(toStdString(path));
    const album::DropResult dropped = m_list.addDropped(names, m_prompts, m_order, m_timeStampOf, m_changes);
    if (dropped && dropped.added > 0)
        refresh();
}

void ImageListView::undo()
{
    if (!m_list.undo(m_changes))
        return;
    if (m_list.current() < 0 && m_edit)
        m_edit->erase();
    refresh();
}

void ImageListView::shiftTimes()
{
    const std::vector<std::size_t> entries = m_list.selectedOrCurrent();
    if (entries.empty())
        return;
    const auto choice = m_chooser.pickTimeShift(entries.size());
    if (!choice)
        return;
    m_list.shiftTimeStamps(entries, choice->minutes, choice->sortByTime, m_prompts, m_changes);
    refresh();
}

void ImageListView::deleteSelected()
{
    if (m_list.empty())
        return;
    m_list.deleteSelected(m_changes);
    if (m_edit)
        m_edit->erase();
    refresh();
}

void ImageListView::deleteAll()
{
    m_list.deleteAll(m_changes);
    if (m_edit)
        m_edit->erase();
    refresh();
}

void ImageListView::moveUp()
{
    if (!m_list.canMoveUp())
        return;
    m_list.moveUp(m_changes);
    refresh();
}

void ImageListView::moveDown()
{
    if (!m_list.canMoveDown())
        return;
    m_list.moveDown(m_changes);
    refresh();
}

void ImageListView::selectFirst()
{
    if (m_list.empty())
        return;
    m_list.setSelected(0, true);
    m_list.setCurrent(0);
    refresh();
}

void ImageListView::refresh()
{
    m_showing = true;
    {
        const QSignalBlocker blocker(m_listBox);
        m_listBox->clear();
        for (const album::ImageEntry &entry : m_list.entries())
            m_listBox->addItem(toQString(album::fileNamePart(entry.path)));
        for (std::size_t i = 0; i < m_list.size(); ++i)
            m_listBox->item(static_cast<int>(i))->setSelected(m_list.isSelected(i));
        if (m_list.current() >= 0)
            m_listBox->setCurrentRow(m_list.current(), QItemSelectionModel::NoUpdate);
    }
    m_listBox->viewport()->update();
    m_showing = false;
    showCurrent();
    emit listShown();
}

void ImageListView::showCurrent()
{
    const int current = m_list.current();
    if (current < 0) {
        showTexts({}, {});
        return;
    }
    const album::ImageEntry &entry = m_list[static_cast<std::size_t>(current)];
    // A comment read with lone line breaks is kept in the memo's form once it has been shown.
    const std::string normalised = storedLineBreaks(entry.comment);
    if (normalised != entry.comment) {
        IgnoredChanges ignored;
        m_list.storeComment(normalised, ignored);
    }
    showTexts(entry.comment, toQString(entry.timeStamp));
    // Selecting ends the editing of the previous picture and shows this one.
    if (m_edit)
        m_edit->showCurrent();
}

void ImageListView::showTexts(const std::string &comment, const QString &timeStamp)
{
    m_showing = true;
    if (!memoShows(m_memo->toPlainText(), comment))
        m_memo->setPlainText(memoText(comment));
    if (m_timeStamp->text() != timeStamp)
        m_timeStamp->setText(timeStamp);
    m_showing = false;
}

void ImageListView::listSelectionChanged()
{
    if (m_showing)
        return;
    const int count = m_listBox->count();
    for (int i = 0; i < count && static_cast<std::size_t>(i) < m_list.size(); ++i)
        m_list.setSelected(static_cast<std::size_t>(i), m_listBox->item(i)->isSelected());
}

void ImageListView::listCurrentChanged(int row)
{
    if (m_showing)
        return;
    m_list.setCurrent(row);
    showCurrent();
}

void ImageListView::memoChanged()
{
    if (m_showing || m_list.empty() || m_list.current() < 0)
        return;
    m_list.storeComment(storedMemoText(m_memo->toPlainText()), m_changes);
}

void ImageListView::timeStampChanged()
{
    if (m_showing || m_list.empty() || m_list.current() < 0)
        return;
    m_list.storeTimeStamp(toStdString(m_timeStamp->text()), m_changes);
}

bool ImageListView::eventFilter(QObject *watched, QEvent *event)
{
    // A click into the memo selects its whole text, so typing replaces the file-name comment. The
    // memo handles the release after this filter, and a release in a selection puts the cursor
    // there: select once it is done, or every other click would clear the selection.
    if (event->type() == QEvent::MouseButtonRelease && watched == m_memo->viewport())
        QMetaObject::invokeMethod(m_memo, &QPlainTextEdit::selectAll, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
}

} // namespace pictora::ui
