// SPDX-License-Identifier: MIT
#pragma once

#include "album/image_list.h"

#include <QObject>
#include <QStringList>

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QWidget;

namespace pictora::album
{
class ChangeSink;
class Chooser;
class Prompter;
} // namespace pictora::album

namespace pictora::project
{
class PictureEdit;
}

namespace pictora::ui
{

/// Shows the image list on its tab (`lbFileList`, `Memo`, `edTimeStamp`, found by object name in
/// the window) and turns the user's actions into the list's operations. It keeps no copy of the
/// list: every rule is album::ImageList's, and after each operation the tab is shown afresh.
class ImageListView : public QObject
{
    Q_OBJECT
public:
    ImageListView(QWidget &window,
        album::ImageList &list,
        album::ChangeSink &changes,
        album::Prompter &prompts,
        album::Chooser &chooser);

    /// What selecting an entry starts and deleting ends: the picture shown and edited.
    void setPictureEdit(project::PictureEdit *edit) { m_edit = edit; }
    /// How a new entry's time stamp is read (default: the picture's capture time).
    void setTimeStampReader(album::TimeStampReader reader) { m_timeStampOf = std::move(reader); }

public slots:
    void addImages();
    void deleteSelected();
    void deleteAll();
    void moveUp();
    void moveDown();
    /// Files dropped from the file manager (local paths; anything else as its address): a folder
    /// adds the pictures in it; a drop that adds nothing says what it skipped.
    void dropFiles(const QStringList &localPaths);
    /// Takes back the last list change (元に戻す, Ctrl+Z in the list).
    void undo();
    /// 時刻をずらす: the dialog, then the selected entries' time stamps move.
    void shiftTimes();
    /// Shows the whole list again (after a load or a reset).
    void refresh();
    /// Makes the first entry current and shows it (the end of a make run).
    void selectFirst();

signals:
    /// The list was shown afresh: what the list's commands may do has changed.
    void listShown();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showCurrent();
    void showTexts(const std::string &comment, const QString &timeStamp);
    void listSelectionChanged();
    void listCurrentChanged(int row);
    void memoChanged();
    void timeStampChanged();

    album::ImageList &m_list;
    album::ChangeSink &m_changes;
    album::Prompter &m_prompts;
    album::Chooser &m_chooser;
    album::TimeStampReader m_timeStampOf;
    album::PathOrder m_order;
    QListWidget *m_listBox;
    QPlainTextEdit *m_memo;
    QLineEdit *m_timeStamp;
    project::PictureEdit *m_edit = nullptr;
    bool m_showing = false; ///< the program is filling the controls: nothing is a user's edit
};

} // namespace pictora::ui
