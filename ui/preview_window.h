// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include "imaging/picture.h"
#include "ui/background_task.h"

class QAction;
class QActionGroup;
class QMenu;

namespace pictora::ui
{

/// The view inside the preview window: draws the picture and the selection the user drags, which
/// it keeps in picture pixels.
class PreviewView : public QWidget
{
    Q_OBJECT
public:
    explicit PreviewView(QWidget *parent);

    /// `shown` is the picture scaled for the view; `pictureSize` the size of the picture itself.
    void setPicture(const QImage &shown, QSize pictureSize);
    [[nodiscard]] const QImage &shownImage() const { return m_shown; }

    /// RectLeft, RectTop, RectRight, RectBottom; all 0 for no selection.
    [[nodiscard]] QRect selection() const { return m_selection; }
    void setSelection(const QRect &pictureRect);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    [[nodiscard]] QRect imageRect() const;
    [[nodiscard]] QPoint toPicture(QPoint viewPoint) const;
    [[nodiscard]] QRect toView(const QRect &pictureRect) const;

    QImage m_shown;
    QSize m_pictureSize;
    QRect m_selection;
    QPoint m_dragStart;
    bool m_dragging = false;
};

/// Where the preview window goes so that it does not cover the main window: to its right, else to
/// its left (top edges level), else below or above it, where `screen` has room for the whole
/// preview; else where most of it shows, on the screen and not under the main window. Its top left
/// corner is always on the screen. All rectangles are frames (title bar and border included).
[[nodiscard]] QPoint previewPlacement(const QRect &mainFrame, QSize previewFrame, const QRect &screen);

/// The preview window: shows the current picture whole at one of five sizes. Pictures are decoded,
/// and edited ones shrunk, beside the window at the size the view needs; a newer request drops
/// older ones.
class TfrView : public QWidget
{
    Q_OBJECT
public:
    explicit TfrView(QWidget *parent = nullptr);
    ~TfrView() override;

    /// Shows a picture; an unreadable one leaves the view empty, without a message.
    void showPicture(const QString &path);
    /// Shows an edited picture, held at full size, scaled to the view; drops the selection.
    /// The view follows once the picture is scaled.
    void showEdited(const imaging::Picture &picture);
    /// Erases the view (no picture, size 0 x 0).
    void erase();
    /// Redraws the view; like every repaint of the window it drops the selection.
    void refreshView();
    /// Select all: the whole picture at its own size.
    void selectAll();
    /// Moves the window beside `mainWindow` when its screen has room (see previewPlacement).
    void placeBeside(const QWidget &mainWindow);

    /// The picture on show, for the effects that need it at full resolution.
    [[nodiscard]] QString currentPicturePath() const { return m_path; }
    /// Width and height of the picture last shown, in its own pixels (0 x 0 before any).
    [[nodiscard]] QSize pictureSize() const { return m_pictureSize; }
    [[nodiscard]] QRect selection() const;
    [[nodiscard]] PreviewView *view() const { return m_view; }
    [[nodiscard]] QMenu *popupMenu() const { return m_menu; }
    /// A picture is being decoded or scaled for the view.
    [[nodiscard]] bool isLoading() const { return m_loads.isRunning(); }

signals:
    /// The window was closed by the user and is now hidden.
    void closed();
    /// A requested picture is on show (or the view was left empty because it could not be read).
    void pictureShown(const QString &path);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void setViewSize(QSize size);
    void load(const QString &path);
    void drawEdited();
    void setShown(const QImage &image, QSize pictureSize);

    PreviewView *m_view;
    QMenu *m_menu;
    QActionGroup *m_sizes;
    QString m_path;
    imaging::Picture m_edited; ///< shown instead of m_path's file while it is not empty
    QSize m_pictureSize;
    QPointer<const QWidget> m_anchor; ///< the window it was last placed beside
    BackgroundTask m_loads; ///< last, so that it goes first: a load in flight refers to this window
};

} // namespace pictora::ui
