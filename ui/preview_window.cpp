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

/// The size a picture is shown at in the view's units, and the pixels it is decoded at: on a
/// screen with `ratio` device pixels to a unit, as many more as the picture has, never enlarged.
struct ShownSize {
    imaging::TargetSize units;
    imaging::TargetSize pixels;
};

ShownSize shownSize(const imaging::PictureInfo &header, QSize view, qreal ratio)
{
    return { imaging::fitInside(header, view.width(), view.height()),
        imaging::fitInside(header,
            static_cast<int>(std::floor(view.width() * ratio)),
            static_cast<int>(std::floor(view.height() * ratio))) };
}

/// The image to draw `pixels` at the size of `units`.
QImage atDevicePixels(QImage image, const imaging::TargetSize &units)
{
    if (!image.isNull() && units.width > 0)
        image.setDevicePixelRatio(static_cast<qreal>(image.width()) / units.width);
    return image;
}

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
    // In the view's own units: a picture drawn at device pixels is smaller than its pixel count.
    const QSize size = m_shown.deviceIndependentSize().toSize();
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

QPoint previewPlacement(const QRect &mainFrame, QSize previewFrame, const QRect &screen)
{
    constexpr int kGap = 8;
    const int w = previewFrame.width();
    const int h = previewFrame.height();
    // Right, left, below, above the main window, each pulled back onto the screen; the title bar
    // (the top left) stays on it whatever the size.
    const QPoint sides[] = {
        { mainFrame.right() + 1 + kGap, mainFrame.top() },
        { mainFrame.left() - kGap - w, mainFrame.top() },
        { mainFrame.left(), mainFrame.bottom() + 1 + kGap },
        { mainFrame.left(), mainFrame.top() - kGap - h },
    };
    auto onScreen = [&](QPoint at) {
        return QPoint(std::clamp(at.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - w)),
            std::clamp(at.y(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - h)));
    };
    auto area
        = [](const QRect &r) { return r.isEmpty() ? 0LL : static_cast<long long>(r.width()) * r.height(); };
    // What shows of the preview: on the screen and not under the main window.
    auto shown = [&](QPoint at) {
        const QRect visible = QRect(at, previewFrame) & screen;
        return area(visible) - area(visible & mainFrame);
    };
    QPoint best = onScreen(sides[0]);
    for (const QPoint &side : sides) {
        const QPoint at = onScreen(side);
        if (shown(at) == area(QRect(at, previewFrame)))
            return at;
        if (shown(at) > shown(best))
            best = at;
    }
    return best;
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
    // A larger size that would run off the screen where the window stands moves it.
    if (m_anchor && screen()) {
        const QSize border = isVisible() ? frameGeometry().size() - geometry().size() : QSize();
        if (!screen()->availableGeometry().contains(QRect(frameGeometry().topLeft(), size + border)))
            placeBeside(*m_anchor);
    }
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
        [this, edited = m_edited, viewSize = m_view->size(), ratio = devicePixelRatioF()](
            TaskChannel &) -> BackgroundTask::End {
            const QSize full(edited.width(), edited.height());
            const ShownSize fitted = shownSize({ full.width(), full.height(), 24 }, viewSize, ratio);
            imaging::Picture shown;
            if (fitted.pixels.width == full.width() && fitted.pixels.height == full.height())
                shown = edited;
            else if (!imaging::Resize(edited, shown, fitted.pixels.width, fitted.pixels.height))
                shown = {};
            return [this,
                       image = atDevicePixels(toQImage(shown), fitted.units),
                       pictureSize = shown.empty() ? QSize() : full] { setShown(image, pictureSize); };
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
        [this, path, viewSize = m_view->size(), ratio = devicePixelRatioF()](
            TaskChannel &) -> BackgroundTask::End {
            imaging::PictureInfo header;
            const imaging::Picture picture = imaging::loadFitted(
                toStdString(path),
                [viewSize, ratio](
                    const imaging::PictureInfo &h) { return shownSize(h, viewSize, ratio).pixels; },
                &header);
            QImage image = atDevicePixels(toQImage(picture), shownSize(header, viewSize, ratio).units);
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
    m_anchor = &mainWindow;
    const QScreen *screen = mainWindow.screen();
    if (!screen)
        return;
    // Before the window manager has framed a window its frame is its client area: allow for a
    // frame as thick as the main window's, which is mapped by now, when it has one.
    const QRect mainFrame = mainWindow.frameGeometry();
    const QSize border = mainFrame.size() - mainWindow.size();
    const QSize frame = isVisible() ? frameGeometry().size() : size() + border;
    move(previewPlacement(mainFrame, frame, screen->availableGeometry()));
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
