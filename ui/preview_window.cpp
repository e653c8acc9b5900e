// SPDX-License-Identifier: MIT
#include "ui/preview_window.h"

#include "imaging/picture.h"
#include "ui/picture_image.h"
#include "ui/qt_text.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <array>
#include <cmath>

namespace pictora::ui
{

namespace
{

struct ViewSize {
    const char *name;
    int width;
    int height;
};
constexpr std::array<ViewSize, 5> kViewSizes { {
    { "N320x240", 320, 240 },
    { "N640x480", 640, 480 },
    { "N800x600", 800, 600 },
    { "N1024x768", 1024, 768 },
    { "N1280x1024", 1280, 1024 },
} };

} // namespace

PreviewView::PreviewView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Ik5Disp"));
    setCursor(Qt::CrossCursor);
    setAccessibleName(QStringLiteral("プレビュー画面"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PreviewView::setPicture(const QImage &shown, QSize pictureSize)
{
    m_shown = shown;
    m_pictureSize = pictureSize;
    m_selection = {};
    update();
}

void PreviewView::setSelection(const QRect &pictureRect)
{
    m_selection = pictureRect;
    update();
}

QRect PreviewView::imageRect() const
{
    if (m_shown.isNull())
        return {};
    const QSize size = m_shown.size();
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

QPoint PreviewView::toPicture(QPoint viewPoint) const
{
    const QRect shownRect = imageRect();
    if (shownRect.isEmpty() || m_pictureSize.isEmpty())
        return {};
    const double sx = static_cast<double>(m_pictureSize.width()) / shownRect.width();
    const double sy = static_cast<double>(m_pictureSize.height()) / shownRect.height();
    const int x = std::clamp(
        static_cast<int>(std::lround((viewPoint.x() - shownRect.left()) * sx)), 0, m_pictureSize.width());
    const int y = std::clamp(
        static_cast<int>(std::lround((viewPoint.y() - shownRect.top()) * sy)), 0, m_pictureSize.height());
    return { x, y };
}

QRect PreviewView::toView(const QRect &pictureRect) const
{
    const QRect shownRect = imageRect();
    if (shownRect.isEmpty() || m_pictureSize.isEmpty())
        return {};
    const double sx = static_cast<double>(shownRect.width()) / m_pictureSize.width();
    const double sy = static_cast<double>(shownRect.height()) / m_pictureSize.height();
    return QRect(QPoint(shownRect.left() + static_cast<int>(pictureRect.left() * sx),
                     shownRect.top() + static_cast<int>(pictureRect.top() * sy)),
        QSize(static_cast<int>(pictureRect.width() * sx), static_cast<int>(pictureRect.height() * sy)));
}

void PreviewView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (m_shown.isNull())
        return;
    painter.drawImage(imageRect().topLeft(), m_shown);
    if (!m_selection.isEmpty()) {
        const QRect frame = toView(m_selection).adjusted(0, 0, -1, -1);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(frame);
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.drawRect(frame);
    }
}

void PreviewView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_shown.isNull()) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    m_dragStart = toPicture(event->position().toPoint());
    setSelection({});
}

void PreviewView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging)
        return;
    setSelection(QRect(m_dragStart, toPicture(event->position().toPoint())).normalized());
}

void PreviewView::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_dragging || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    const QPoint end = toPicture(event->position().toPoint());
    // QRect's right is inclusive; the rectangle kept spans the pixels between the two corners.
    const QRect dragged(QPoint(std::min(m_dragStart.x(), end.x()), std::min(m_dragStart.y(), end.y())),
        QSize(std::abs(end.x() - m_dragStart.x()), std::abs(end.y() - m_dragStart.y())));
    setSelection(dragged);
}

QPoint previewPlacement(const QRect &mainFrame, QSize previewFrame, const QRect &screen, QPoint fallback)
{
    constexpr int kGap = 8;
    const QPoint right(mainFrame.right() + 1 + kGap, mainFrame.top());
    const QPoint left(mainFrame.left() - kGap - previewFrame.width(), mainFrame.top());
    for (const QPoint &candidate : { right, left }) {
        if (screen.contains(QRect(candidate, previewFrame)))
            return candidate;
    }
    // A screen too small for both side by side: the window's own start position.
    return fallback;
}

TfrView::TfrView(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint)
    , m_view(new PreviewView(this))
    , m_menu(new QMenu(this))
    , m_sizes(new QActionGroup(this))
{
    setObjectName(QStringLiteral("TfrView"));
    setWindowTitle(QStringLiteral("プレビュー画面 (右クリックでプレビュー画面サイズ変更)"));
    m_menu->setObjectName(QStringLiteral("mainPopupMenu"));
    m_sizes->setExclusive(true);
    for (const ViewSize &size : kViewSizes) {
        QAction *item = m_menu->addAction(QString::fromLatin1(size.name + 1));
        item->setObjectName(QString::fromLatin1(size.name));
        item->setCheckable(true);
        m_sizes->addAction(item);
        const QSize viewSize(size.width, size.height);
        connect(item, &QAction::triggered, this, [this, viewSize] { setViewSize(viewSize); });
    }
    m_menu->addSeparator()->setObjectName(QStringLiteral("N1"));
    QAction *all = m_menu->addAction(QStringLiteral("全選択"));
    all->setObjectName(QStringLiteral("N2"));
    all->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    all->setShortcutContext(Qt::WindowShortcut);
    addAction(all);
    connect(all, &QAction::triggered, this, &TfrView::selectAll);

    findChild<QAction *>(QStringLiteral("N640x480"))->setChecked(true);
    setViewSize({ 640, 480 });
    move(50, 50);
}

TfrView::~TfrView() = default;

void TfrView::setViewSize(QSize size)
{
    for (QAction *item : m_sizes->actions()) {
        if (item->objectName() == QStringLiteral("N%1x%2").arg(size.width()).arg(size.height()))
            item->setChecked(true);
    }
    m_view->setGeometry(QRect(QPoint(0, 0), size));
    setFixedSize(size);
    if (!m_edited.empty())
        drawEdited();
    else if (!m_path.isEmpty())
        load(m_path);
    refreshView();
}

void TfrView::showPicture(const QString &path)
{
    m_edited = {};
    m_path = path;
    load(path);
}

void TfrView::showEdited(const imaging::Picture &picture)
{
    m_edited = picture;
    drawEdited();
}

void TfrView::drawEdited()
{
    // Shrinking a photo of many megapixels takes a good part of a second: beside the window.
    // Starting drops a load still on its way, which would replace the edit with the file.
    m_loads.start(
        [this, edited = m_edited, viewSize = m_view->size()](TaskChannel &) -> BackgroundTask::End {
            const QSize full(edited.width(), edited.height());
            const imaging::TargetSize fitted = imaging::fitInside(
                { full.width(), full.height(), 24 }, viewSize.width(), viewSize.height());
            imaging::Picture shown;
            if (fitted.width == full.width() && fitted.height == full.height())
                shown = edited;
            else if (!imaging::Resize(edited, shown, fitted.width, fitted.height))
                shown = {};
            return [this, image = toQImage(shown), pictureSize = shown.empty() ? QSize() : full] {
                setShown(image, pictureSize);
            };
        },
        [this](const std::exception_ptr &) { setShown({}, {}); });
}

void TfrView::setShown(const QImage &image, QSize pictureSize)
{
    m_pictureSize = pictureSize;
    m_view->setPicture(image, pictureSize);
    refreshView();
}

void TfrView::erase()
{
    m_loads.drop();
    m_path.clear();
    m_edited = {};
    m_pictureSize = {};
    m_view->setPicture({}, {});
}

void TfrView::refreshView()
{
    m_view->setSelection({});
    update();
}

void TfrView::selectAll()
{
    m_view->setSelection(QRect(QPoint(0, 0), m_pictureSize));
}

QRect TfrView::selection() const
{
    return m_view->selection();
}

void TfrView::load(const QString &path)
{
    m_loads.start(
        [this, path, viewSize = m_view->size()](TaskChannel &) -> BackgroundTask::End {
            imaging::PictureInfo header;
            const imaging::Picture picture = imaging::loadFitted(
                toStdString(path),
                [viewSize](const imaging::PictureInfo &h) {
                    return imaging::fitInside(h, viewSize.width(), viewSize.height());
                },
                &header);
            QImage image = toQImage(picture);
            const QSize pictureSize = image.isNull() ? QSize() : QSize(header.width, header.height);
            return [this, path, image = std::move(image), pictureSize] {
                setShown(image, pictureSize);
                emit pictureShown(path);
            };
        },
        [this, path](const std::exception_ptr &) {
            setShown({}, {});
            emit pictureShown(path);
        });
}

void TfrView::closeEvent(QCloseEvent *event)
{
    event->accept();
    hide();
    emit closed();
}

void TfrView::placeBeside(const QWidget &mainWindow)
{
    const QScreen *screen = mainWindow.screen();
    if (!screen)
        return;
    // Before the window manager has framed a window its frame is its client area: allow for a
    // frame as thick as the main window's, which is mapped by now, when it has one.
    const QRect mainFrame = mainWindow.frameGeometry();
    const QSize border = mainFrame.size() - mainWindow.size();
    const QSize frame = isVisible() ? frameGeometry().size() : size() + border;
    move(previewPlacement(mainFrame, frame, screen->availableGeometry(), QPoint(50, 50)));
}

void TfrView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refreshView();
}

void TfrView::contextMenuEvent(QContextMenuEvent *event)
{
    m_menu->exec(event->globalPos());
}

} // namespace pictora::ui
