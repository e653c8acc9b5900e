// SPDX-License-Identifier: MIT
// The main window while it works and how it sits on the screen: effects that leave the event loop
// turning, the preview placed beside the window, the message boxes' indented explanations, the
// window's frame and its red button.
// libvips (glib) before Qt, whose "signals" keyword glib uses as a name.
#include "tests/support/pictures.h"

#include "tests/ui/recording_opener.h"
#include "ui/contrast.h"
#include "ui/image_list_view.h"
#include "ui/main_window.h"
#include "ui/preview_window.h"
#include "ui/progress_window.h"
#include "ui/qt_services.h"

#include "shell/startup.h"
#include "tests/support/album_questions.h"
#include "tests/support/scripted_chooser.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace pictora::ui
{
namespace
{

using album::Answer;
using album::PromptKind;

struct WindowWork : ::testing::Test {
    test::TempDir temp;
    test::ScriptedPrompter prompts;
    test::ScriptedChooser chooser;
    test::RecordingOpener urls;
    TfrMain window { prompts, chooser, urls, DesktopSession::inFolder(temp.path().string()) };

    QPushButton &button(const char *name)
    {
        return *window.findChild<QPushButton *>(QString::fromLatin1(name));
    }
    void showPicture(int width, int height)
    {
        const std::string path = temp.file("photo.jpg");
        test::writeTestJpeg(path, width, height);
        window.imageList().appendInOrder(
            { path }, {}, [](const std::string &) { return std::string("stamp"); });
        window.listView().refresh();
        window.listView().selectFirst();
    }
};

} // namespace

TEST_F(WindowWork, AnEffectRunsWhileTheEventLoopTurnsAndTheControlsWait)
{
    window.showWindows();
    showPicture(2400, 1800);
    const project::PictureEdit &edit = window.document().pictureEdit();
    int ticksBusy = 0;
    int ticksOpenWhileBusy = 0;
    bool progressShown = false;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (edit.busy()) {
            ++ticksBusy;
            if (window.centralWidget()->isEnabled() || window.menuBar()->isEnabled())
                ++ticksOpenWhileBusy;
        }
        progressShown = progressShown || window.progress().isVisible();
    });
    ticker.start();
    for (const char *effect : { "btNR", "btSepia", "btRotL" }) {
        const int before = ticksBusy;
        button(effect).click();
        ASSERT_TRUE(edit.busy()) << effect << ": the click returns while the effect works";
        if (std::string(effect) == "btSepia") {
            // Closing, or Ctrl+Q, while it works: the window says so and stays.
            prompts.expect(shell::kWorkRunningMessage, Answer::Ok, PromptKind::Information);
            prompts.expect(shell::kWorkRunningMessage, Answer::Ok, PromptKind::Information);
            window.close();
            QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
            EXPECT_TRUE(window.isVisible());
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !edit.busy() && !window.preview().isLoading(); }, 20000));
        EXPECT_GT(ticksBusy, before) << effect << ": the window's thread went on turning";
    }
    ticker.stop();
    EXPECT_EQ(ticksOpenWhileBusy, 0) << "the controls took no input while an effect worked";
    EXPECT_TRUE(progressShown);
    EXPECT_FALSE(window.progress().isVisible());
    // The results and the commands as ever: the last effect, a left turn, shows a turned picture.
    EXPECT_TRUE(window.centralWidget()->isEnabled());
    EXPECT_TRUE(window.menuBar()->isEnabled());
    EXPECT_TRUE(button("btUndo").isEnabled());
    EXPECT_TRUE(button("btAppend").isEnabled());
    EXPECT_EQ(edit.angle(), 9000);
    EXPECT_EQ(edit.picture().width(), 1800);
    EXPECT_EQ(window.preview().pictureSize(), QSize(1800, 2400)) << "the view shows the turned picture";
}

TEST_F(WindowWork, ThePreviewGoesBesideTheMainWindowWhereTheScreenHasRoom)
{
    const QRect screen(0, 0, 1920, 1080);
    const QRect mainFrame(250, 150, 515, 520);
    EXPECT_EQ(previewPlacement(mainFrame, QSize(650, 510), screen), QPoint(773, 150));
    // No room on the right: on the left.
    EXPECT_EQ(previewPlacement(QRect(1300, 100, 515, 520), QSize(650, 510), screen), QPoint(642, 100));

    // Smaller screens: the main window at its start position, the preview at each of its sizes
    // (frames 10 and 30 pixels larger than the view).
    const QRect startFrame(250, 150, 515, 590);
    for (const QRect &small : { QRect(0, 0, 1366, 768), QRect(0, 0, 1280, 1024), QRect(0, 0, 1024, 768) }) {
        for (const QSize view :
            { QSize(320, 240), QSize(640, 480), QSize(800, 600), QSize(1024, 768), QSize(1280, 1024) }) {
            const QSize frame = view + QSize(10, 30);
            const QRect placed(previewPlacement(startFrame, frame, small), frame);
            SCOPED_TRACE(testing::Message() << small.width() << "x" << small.height() << " screen, "
                                            << view.width() << "x" << view.height() << " view");
            EXPECT_TRUE(small.contains(placed.topLeft())) << "the title bar stays on the screen";
            if (frame.width() <= small.width() && frame.height() <= small.height()) {
                EXPECT_TRUE(small.contains(placed)) << "a preview that fits the screen runs off nowhere";
            }
            const QRect under = placed & startFrame;
            const double covered
                = static_cast<double>(under.width()) * under.height() / (frame.width() * frame.height());
            if (view.width() <= 640 && small.width() >= 1280) {
                EXPECT_LT(covered, 1.0 / 3) << "most of the usual sizes shows beside the main window";
            }
        }
    }

    window.showWindows();
    const QRect preview = window.preview().frameGeometry();
    const QRect available = window.screen()->availableGeometry();
    if (available.contains(QRect(window.frameGeometry().topRight() + QPoint(9, 0), preview.size())))
        EXPECT_FALSE(preview.intersects(window.frameGeometry()));
    else
        EXPECT_TRUE(available.contains(preview.topLeft()));
    // A size too large for where the window stands moves it back onto the screen.
    window.preview().popupMenu()->findChild<QAction *>(QStringLiteral("N1280x1024"))->trigger();
    EXPECT_TRUE(available.contains(window.preview().frameGeometry().topLeft()));
}

TEST_F(WindowWork, IndentedExplanationsStayIndentedAndOtherTextsStayPlain)
{
    Qt::TextFormat format = Qt::RichText;
    EXPECT_EQ(
        messageBoxText(QStringLiteral("a < b\nsecond line"), &format), QStringLiteral("a < b\nsecond line"));
    EXPECT_EQ(format, Qt::PlainText);

    const QString shown = messageBoxText(QString::fromStdString(test::kHtmlQuestion), &format);
    ASSERT_EQ(format, Qt::RichText);
    // Every line once, as a paragraph; the two answers indented, the question and the blank line not.
    EXPECT_EQ(shown.count(QStringLiteral("<p style=\"margin: 0 0 0 2em\">")), 2);
    EXPECT_EQ(shown.count(QStringLiteral("<p style=\"margin: 0 0 0 0em\">")), 2);
    EXPECT_TRUE(shown.contains(QStringLiteral("&quot;html&quot;"))) << "the text is escaped";
    EXPECT_FALSE(shown.contains(u'\t'));
}

TEST_F(WindowWork, TheWindowIsFixedWithoutMaximiseOrEmptyBandAndOnlyAnEnabledAddIsRed)
{
    window.showWindows();
    EXPECT_TRUE(window.windowFlags() & Qt::CustomizeWindowHint) << "else Qt offers the maximise button again";
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    const QRect bottomButton = button("btEnd").geometry();
    EXPECT_EQ(window.centralWidget()->height() - bottomButton.bottom() - 1, 5) << "the margin of the sides";

    QPushButton &add = button("btAddImage");
    const auto textColour = [&add] {
        add.ensurePolished();
        const QImage shot = add.grab().toImage();
        int reddest = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                reddest = std::max(reddest, c.red() - std::max(c.green(), c.blue()));
            }
        }
        return reddest;
    };
    EXPECT_GT(textColour(), 100) << "enabled: red";
    add.setEnabled(false);
    EXPECT_LT(textColour(), 30) << "disabled: greyed like every other button";
    add.setEnabled(true);

    // Red that reads on the button in a light and in a dark theme.
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::ButtonText, Qt::white);
    for (const QPalette &palette : { light, dark }) {
        QApplication::setPalette(palette);
        const QPalette shown = add.palette();
        const QColor text = shown.color(QPalette::Active, QPalette::ButtonText);
        EXPECT_GE(contrastRatio(text, shown.color(QPalette::Active, QPalette::Button)), 4.5)
            << text.name().toStdString();
        EXPECT_GT(text.red(), 2 * std::max(text.green(), text.blue())) << "still red";
    }
    QApplication::setPalette(light);
}

} // namespace pictora::ui
