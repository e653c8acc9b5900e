// SPDX-License-Identifier: MIT
#include "ui/progress_window.h"

#include "ui/qt_text.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>

namespace pictora::ui
{

namespace
{
const char *const kWorking = "処理中です...";
const char *const kStopping = "中止しています...";
} // namespace

TfrProgress::TfrProgress(QWidget *mainWindow)
    : QWidget(mainWindow, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_mainWindow(mainWindow)
    , m_caption(new QLabel(QString::fromUtf8(kWorking), this))
    , m_bar(new QProgressBar(this))
    , m_counter(new QLabel(this))
{
    setObjectName(QStringLiteral("TfrProgress"));
    setWindowTitle(QStringLiteral("進捗状況"));
    setFixedSize(210, 57);
    m_caption->setObjectName(QStringLiteral("Label1"));
    m_caption->setGeometry(8, 4, 193, 14);
    m_bar->setObjectName(QStringLiteral("PB"));
    m_bar->setGeometry(8, 20, 193, 16);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_bar->setAccessibleName(QStringLiteral("進捗状況"));
    m_counter->setObjectName(QStringLiteral("lb"));
    m_counter->setGeometry(8, 39, 193, 14);
    m_counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFocusPolicy(Qt::StrongFocus);
}

void TfrProgress::show()
{
    m_cancelRequested = false;
    m_caption->setText(QString::fromUtf8(kWorking));
    if (m_mainWindow)
        move(m_mainWindow->frameGeometry().topLeft() + QPoint(20, 20));
    QWidget::show();
    raise();
    activateWindow();
    setFocus();
    repaint();
    emit reported(QStringLiteral("show"));
}

void TfrProgress::setPosition(int percent)
{
    m_bar->setValue(std::clamp(percent, 0, 100));
    update();
    emit reported(QStringLiteral("pos %1").arg(percent));
}

void TfrProgress::setLabel(const std::string &text)
{
    m_counter->setText(toQString(text));
    update();
    emit reported(QStringLiteral("label ") + m_counter->text());
}

void TfrProgress::hide()
{
    // show() took the keyboard; it goes back to the window the work was started from.
    const bool hadKeyboard = isActiveWindow();
    QWidget::hide();
    if (hadKeyboard && m_mainWindow && m_mainWindow->isVisible())
        m_mainWindow->activateWindow();
    emit reported(QStringLiteral("hide"));
}

int TfrProgress::position() const
{
    return m_bar->value();
}

QString TfrProgress::label() const
{
    return m_counter->text();
}

void TfrProgress::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        requestCancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfrProgress::closeEvent(QCloseEvent *event)
{
    // The run hides the window when it has stopped; until then it stays as the sign of work.
    event->ignore();
    requestCancel();
}

void TfrProgress::requestCancel()
{
    if (!isVisible() || m_cancelRequested)
        return;
    m_cancelRequested = true;
    m_caption->setText(QString::fromUtf8(kStopping));
    emit cancelRequestedByUser();
}

} // namespace pictora::ui
