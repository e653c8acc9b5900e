// SPDX-License-Identifier: MIT
// The image list tab through the real main window: the list box, the memo and the time stamp as
// the user sees them, and the preview that follows the current entry.
// libvips (glib) before Qt, whose "signals" keyword glib uses as a name.
#include "tests/support/pictures.h"

#include "tests/ui/recording_opener.h"
#include "ui/image_list_view.h"
#include "ui/main_window.h"
#include "ui/preview_window.h"

#include "album/image_list.h"
#include "tests/support/scripted_chooser.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace pictora;
using album::Answer;
using album::PromptKind;
using test::ScriptedChooser;
namespace fs = std::filesystem;

namespace
{

struct ImageListTab : ::testing::Test {
    test::TempDir dir;
    test::ScriptedPrompter prompts;
    ScriptedChooser chooser;
    test::RecordingOpener urls;
    ui::TfrMain window { prompts, chooser, urls };
    ui::TfrView &preview = window.preview();
    ui::ImageListView &view = window.listView();
    QListWidget *list = window.findChild<QListWidget *>("lbFileList");
    QPlainTextEdit *memo = window.findChild<QPlainTextEdit *>("Memo");
    QLineEdit *stamp = window.findChild<QLineEdit *>("edTimeStamp");
    QAction *save = window.findChild<QAction *>("mnSave");

    ImageListTab()
    {
        window.show();
        view.setTimeStampReader(
            [](const std::string &path) { return "stamp of " + album::fileNamePart(path); });
    }

    std::string picture(const std::string &name, int width = 64, int height = 48)
    {
        const std::string path = dir.file(name);
        test::writeTestJpeg(path, width, height);
        return path;
    }

    QStringList shownNames() const
    {
        QStringList names;
        for (int i = 0; i < list->count(); ++i)
            names << list->item(i)->text();
        return names;
    }

    std::vector<int> selectedRows() const
    {
        std::vector<int> rows;
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->isSelected())
                rows.push_back(i);
        }
        return rows;
    }

    void click(const char *button)
    {
        QPushButton *found = window.findChild<QPushButton *>(button);
        ASSERT_NE(found, nullptr) << button;
        QTest::mouseClick(found, Qt::LeftButton);
    }

    void drop(const QStringList &paths)
    {
        QList<QUrl> dropped;
        for (const QString &path : paths)
            dropped << QUrl::fromLocalFile(path);
        QMimeData data;
        data.setUrls(dropped);
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QDropEvent event(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &event);
    }

    void addFour()
    {
        chooser.expect(ScriptedChooser::Dialog::OpenPictures,
            { picture("e0.jpg"), picture("e1.jpg"), picture("e2.jpg"), picture("e3.jpg") });
        prompts.expect(album::kSortQuestion, Answer::No, PromptKind::Confirmation);
        click("btAddImage");
    }
};

} // namespace

TEST_F(ImageListTab, AddAsksTheSortQuestionAndCancelAddsNothing)
{
    const std::vector<std::string> chosen { picture("c.jpg"), picture("A.jpg"), picture("b.jpg") };
    chooser.expect(ScriptedChooser::Dialog::OpenPictures, chosen);
    prompts.expect(album::kSortQuestion, Answer::Cancel, PromptKind::Confirmation);
    click("btAddImage");
    EXPECT_EQ(list->count(), 0);

    chooser.expect(ScriptedChooser::Dialog::OpenPictures, chosen);
    prompts.expect(album::kSortQuestion, Answer::No, PromptKind::Confirmation);
    click("btAddImage");
    EXPECT_EQ(shownNames(), (QStringList { "c.jpg", "A.jpg", "b.jpg" }));
    // The first entry of a list that was empty becomes current and is shown.
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(memo->toPlainText(), "c.jpg");
    EXPECT_EQ(stamp->text(), "stamp of c.jpg");

    chooser.expect(ScriptedChooser::Dialog::OpenPictures, chosen);
    prompts.expect(album::kSortQuestion, Answer::Yes, PromptKind::Confirmation);
    click("btAddImage");
    EXPECT_EQ(shownNames(), (QStringList { "c.jpg", "A.jpg", "b.jpg", "A.jpg", "b.jpg", "c.jpg" }));
    EXPECT_EQ(window.imageList().size(), 6u);
}

TEST_F(ImageListTab, DropTakesPictureNamesWhateverTheirCaseAndSkipsFolders)
{
    fs::create_directory(dir.file("folder.jpg"));
    const QStringList dropped { QString::fromStdString(picture("b.jpeg")),
        QString::fromStdString(picture("a.JPG")),
        QString::fromStdString(picture("c.Png")),
        QString::fromStdString(picture("d.txt")),
        QString::fromStdString(dir.file("folder.jpg")) };
    prompts.expect(album::kSortQuestion, Answer::Yes, PromptKind::Confirmation);
    drop(dropped);
    EXPECT_EQ(shownNames(), (QStringList { "a.JPG", "b.jpeg", "c.Png" }));
    EXPECT_EQ(memo->toPlainText(), "a.JPG");

    prompts.expect(album::kSortQuestion, Answer::Cancel, PromptKind::Confirmation);
    drop({ QString::fromStdString(picture("d.jpg")) });
    EXPECT_EQ(shownNames(), (QStringList { "a.JPG", "b.jpeg", "c.Png" }));
}

TEST_F(ImageListTab, MovingABlockDownKeepsItsMarksAndMakesTheUpperOneCurrent)
{
    addFour();
    list->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    list->setCurrentRow(2, QItemSelectionModel::Select);
    list->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    click("btDown");
    EXPECT_EQ(shownNames(), (QStringList { "e0.jpg", "e3.jpg", "e1.jpg", "e2.jpg" }));
    EXPECT_EQ(selectedRows(), (std::vector<int> { 2, 3 }));
    EXPECT_EQ(list->currentRow(), 2);
    EXPECT_EQ(memo->toPlainText(), "e1.jpg");

    // The block is now at the bottom: a further move down does nothing, and the lists agree.
    list->setCurrentRow(3, QItemSelectionModel::NoUpdate);
    click("btDown");
    EXPECT_EQ(shownNames(), (QStringList { "e0.jpg", "e3.jpg", "e1.jpg", "e2.jpg" }));
    click("btUp");
    EXPECT_EQ(shownNames(), (QStringList { "e0.jpg", "e1.jpg", "e2.jpg", "e3.jpg" }));
    EXPECT_EQ(selectedRows(), (std::vector<int> { 1, 2 }));
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(window.imageList()[i].comment, "e" + std::to_string(i) + ".jpg");
}

TEST_F(ImageListTab, SelectingNeverMarksChangedButTypingStoresForTheCurrentEntryOnly)
{
    chooser.expect(ScriptedChooser::Dialog::SaveProject, { dir.file("album.pxa") });
    window.findChild<QAction *>("mnSaveAs")->trigger();
    addFour();
    save->trigger(); // written: unchanged again
    ASSERT_FALSE(save->isEnabled());

    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentRow(), 2);
    EXPECT_EQ(memo->toPlainText(), "e2.jpg");
    EXPECT_EQ(stamp->text(), "stamp of e2.jpg");
    EXPECT_FALSE(save->isEnabled());

    memo->setPlainText("first line\nsecond line");
    EXPECT_TRUE(save->isEnabled());
    stamp->setText("2004年05月01日 13時05分");
    EXPECT_EQ(window.imageList()[2].comment, "first line\r\nsecond line");
    EXPECT_EQ(window.imageList()[2].timeStamp, "2004年05月01日 13時05分");
    EXPECT_EQ(window.imageList()[1].comment, "e1.jpg");

    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(memo->toPlainText(), "first line\nsecond line");
}

TEST_F(ImageListTab, DeletingTheLastEntriesEmptiesTheFieldsAndThePreview)
{
    addFour();
    QSignalSpy shown(&preview, &ui::TfrView::pictureShown);
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_FALSE(preview.view()->shownImage().isNull());

    list->setCurrentRow(3, QItemSelectionModel::ClearAndSelect);
    click("btDelImage");
    EXPECT_EQ(shownNames(), (QStringList { "e0.jpg", "e1.jpg", "e2.jpg" }));
    EXPECT_EQ(list->currentRow(), 2);
    EXPECT_EQ(memo->toPlainText(), "e2.jpg");

    click("btAllDelImage");
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(memo->toPlainText(), "");
    EXPECT_EQ(stamp->text(), "");
    EXPECT_TRUE(preview.view()->shownImage().isNull());
    EXPECT_TRUE(preview.currentPicturePath().isEmpty());
}

TEST_F(ImageListTab, SelectAllDeleteIsTakenBackWithCtrlZInTheListWithItsComments)
{
    chooser.expect(ScriptedChooser::Dialog::SaveProject, { dir.file("album.pxa") });
    window.findChild<QAction *>("mnSaveAs")->trigger();
    addFour();
    save->trigger();
    list->setCurrentRow(2);
    memo->setPlainText("a comment\nof two lines");
    save->trigger();
    ASSERT_FALSE(save->isEnabled());
    QAction *undo = window.popupMenu()->findChild<QAction *>("ListUndo1");
    ASSERT_NE(undo, nullptr);

    QApplication::setActiveWindow(&window);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_Delete);
    ASSERT_EQ(list->count(), 0);
    EXPECT_TRUE(save->isEnabled());
    EXPECT_TRUE(undo->isEnabled());

    save->trigger();
    QTest::keyClick(list, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(shownNames(), (QStringList { "e0.jpg", "e1.jpg", "e2.jpg", "e3.jpg" }));
    EXPECT_EQ(window.imageList()[2].comment, "a comment\r\nof two lines");
    EXPECT_EQ(window.imageList()[3].timeStamp, "stamp of e3.jpg");
    EXPECT_EQ(selectedRows(), (std::vector<int> { 0, 1, 2, 3 }));
    EXPECT_EQ(memo->toPlainText(), "a comment\nof two lines");
    EXPECT_TRUE(save->isEnabled()) << "taking back is a change like any other";
    const QPushButton *rebuild = window.findChild<QPushButton *>("btReMakeHTML");
    EXPECT_FALSE(rebuild->isEnabled());
    EXPECT_TRUE(rebuild->toolTip().contains(QStringLiteral("アルバム作成"))) << "a greyed button says why";

    // Typing in the comment keeps Ctrl+Z for the text.
    undo->trigger(); // the add
    EXPECT_EQ(list->count(), 0);
    EXPECT_FALSE(undo->isEnabled());
    memo->setFocus();
    QTest::keyClick(memo, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(list->count(), 0);
}

TEST_F(ImageListTab, ADropThatAddsNothingSaysWhyAndAFolderAddsItsPictures)
{
    addFour();
    list->setCurrentRow(2);
    fs::create_directory(dir.file("empty"));
    fs::create_directory(dir.file("trip"));
    test::writeTestJpeg(dir.file("trip/2.jpg"), 32, 24);
    test::writeTestJpeg(dir.file("trip/1.jpg"), 32, 24);
    std::ofstream(dir.file("trip/notes.txt")) << "x";
    std::ofstream(dir.file("notes.odt")) << "x";

    prompts.expect(album::kSortQuestion, Answer::No, PromptKind::Confirmation);
    prompts.expect(album::nothingDroppedMessage({ { dir.file("notes.odt"), "追加できない種類のファイルです" },
                       { dir.file("empty"), "フォルダに追加できる画像がありません" } }),
        Answer::Ok,
        PromptKind::Information);
    drop({ QString::fromStdString(dir.file("notes.odt")), QString::fromStdString(dir.file("empty")) });
    EXPECT_EQ(list->count(), 4);
    EXPECT_EQ(list->currentRow(), 2) << "the current entry stays";
    EXPECT_EQ(memo->toPlainText(), "e2.jpg");

    prompts.expect(album::kSortQuestion, Answer::No, PromptKind::Confirmation);
    drop({ QString::fromStdString(dir.file("trip")) });
    EXPECT_EQ(shownNames(), (QStringList { "e0.jpg", "e1.jpg", "e2.jpg", "e3.jpg", "1.jpg", "2.jpg" }));
}

TEST_F(ImageListTab, TimeShiftMovesTheSelectedStampsAndSortsByTimeWhenAsked)
{
    view.setTimeStampReader([](const std::string &path) {
        const std::string name = album::fileNamePart(path);
        return name == "e0.jpg" ? std::string("2024年12月31日 23時30分")
                                : "2025年01月01日 0" + name.substr(1, 1) + "時00分";
    });
    addFour();
    QAction *shift = window.popupMenu()->findChild<QAction *>("ShiftTime1");
    ASSERT_NE(shift, nullptr);
    list->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    chooser.expect(ScriptedChooser::Dialog::ShiftTime, { "+2h", "sort" });
    shift->trigger();
    EXPECT_EQ(chooser.shiftCounts, std::vector<std::size_t> { 1 });
    EXPECT_EQ(shownNames(), (QStringList { "e1.jpg", "e0.jpg", "e2.jpg", "e3.jpg" }));
    EXPECT_EQ(list->currentRow(), 1) << "the shifted picture stays current";
    EXPECT_EQ(stamp->text(), "2025年01月01日 01時30分");

    // Cancelled: nothing moves. Undone: the stamp and the order come back.
    chooser.expect(ScriptedChooser::Dialog::ShiftTime, {});
    shift->trigger();
    EXPECT_EQ(stamp->text(), "2025年01月01日 01時30分");
    window.popupMenu()->findChild<QAction *>("ListUndo1")->trigger();
    EXPECT_EQ(shownNames(), (QStringList { "e0.jpg", "e1.jpg", "e2.jpg", "e3.jpg" }));
    EXPECT_EQ(stamp->text(), "2024年12月31日 23時30分");
}

TEST_F(ImageListTab, AReopenedCommentShowsAsTypedAndEveryClickSelectsItAll)
{
    addFour();
    memo->setPlainText("two\nlines");
    chooser.expect(ScriptedChooser::Dialog::SaveProject, { dir.file("c.pxa") });
    window.findChild<QAction *>("mnSaveAs")->trigger();
    for (int round = 0; round < 10; ++round) {
        chooser.expect(ScriptedChooser::Dialog::OpenProject, { dir.file("c.pxa") });
        window.findChild<QAction *>("mnOpen")->trigger();
        ASSERT_EQ(memo->toPlainText(), "two\nlines") << "round " << round;
        window.findChild<QAction *>("mnSave")->setEnabled(true);
        window.findChild<QAction *>("mnSave")->trigger();
    }
    for (int click = 0; click < 3; ++click) {
        QTest::mouseClick(memo->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QCoreApplication::processEvents();
        EXPECT_EQ(memo->textCursor().selectedText(), QStringLiteral("two\u2029lines")) << "click " << click;
    }
}

TEST(PreviewWindow, ShowsThePictureWholeWithItsOwnSizeForSelectAll)
{
    test::TempDir dir;
    const std::string big = dir.file("big.jpg");
    const std::string small = dir.file("small.png");
    const std::string broken = dir.file("broken.jpg");
    test::writeTestJpeg(big, 1600, 1000);
    test::writeTestPng(small, 200, 100);
    std::ofstream(broken) << "not a picture";

    ui::TfrView preview;
    QSignalSpy shown(&preview, &ui::TfrView::pictureShown);
    EXPECT_EQ(preview.size(), QSize(640, 480));
    EXPECT_EQ(preview.windowTitle(), "プレビュー画面 (右クリックでプレビュー画面サイズ変更)");

    // A later request makes the earlier one stale: only the last is shown.
    preview.showPicture(QString::fromStdString(small));
    preview.showPicture(QString::fromStdString(big));
    ASSERT_TRUE(shown.wait(5000));
    QTest::qWait(50);
    EXPECT_EQ(shown.last().at(0).toString().toStdString(), big);
    EXPECT_EQ(preview.view()->shownImage().size(), QSize(640, 400));
    EXPECT_EQ(preview.pictureSize(), QSize(1600, 1000));

    preview.findChild<QAction *>("N2")->trigger();
    EXPECT_EQ(preview.selection(), QRect(0, 0, 1600, 1000));
    preview.refreshView();
    EXPECT_TRUE(preview.selection().isEmpty());

    // A small picture is not enlarged; a larger view size shows the big one larger.
    preview.showPicture(QString::fromStdString(small));
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_EQ(preview.view()->shownImage().size(), QSize(200, 100));
    preview.showPicture(QString::fromStdString(big));
    ASSERT_TRUE(shown.wait(5000));
    preview.findChild<QAction *>("N1024x768")->trigger();
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_EQ(preview.size(), QSize(1024, 768));
    EXPECT_EQ(preview.view()->shownImage().size(), QSize(1024, 640));

    preview.showPicture(QString::fromStdString(broken));
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_TRUE(preview.view()->shownImage().isNull());
    EXPECT_EQ(preview.pictureSize(), QSize());
}

TEST(PreviewWindow, ADraggedSelectionIsKeptInPicturePixels)
{
    test::TempDir dir;
    const std::string path = dir.file("p.jpg");
    test::writeTestJpeg(path, 1280, 960);
    ui::TfrView preview;
    QSignalSpy shown(&preview, &ui::TfrView::pictureShown);
    QSignalSpy closed(&preview, &ui::TfrView::closed);
    preview.show();
    preview.showPicture(QString::fromStdString(path));
    ASSERT_TRUE(shown.wait(5000));
    // Shown at half size, filling the 640 x 480 view.
    QTest::mousePress(preview.view(), Qt::LeftButton, {}, QPoint(10, 20));
    QTest::mouseMove(preview.view(), QPoint(100, 120));
    QTest::mouseRelease(preview.view(), Qt::LeftButton, {}, QPoint(110, 220));
    EXPECT_EQ(preview.selection(), QRect(20, 40, 200, 400));

    preview.close();
    EXPECT_FALSE(preview.isVisible());
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(ImageListTab, AfterDeletingOrDroppingTheHighlightedEntryIsTheOneShown)
{
    addFour();
    chooser.expect(ScriptedChooser::Dialog::OpenPictures, { picture("e4.jpg"), picture("e5.jpg") });
    prompts.expect(album::kSortQuestion, Answer::No, PromptKind::Confirmation);
    click("btAddImage");
    // A scattered selection, e3 and e1, with e1 shown.
    list->setCurrentRow(3, QItemSelectionModel::ClearAndSelect);
    list->setCurrentRow(1, QItemSelectionModel::Select);
    ASSERT_EQ(memo->toPlainText(), "e1.jpg");
    click("btDelImage");
    EXPECT_EQ(shownNames(), (QStringList { "e0.jpg", "e2.jpg", "e4.jpg", "e5.jpg" }));
    // e2 followed the shown e1: it is both highlighted and shown.
    EXPECT_EQ(selectedRows(), std::vector<int> { 1 });
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(memo->toPlainText(), "e2.jpg");
    EXPECT_EQ(stamp->text(), "stamp of e2.jpg");

    // A second delete removes the picture on screen.
    click("btDelImage");
    EXPECT_EQ(shownNames(), (QStringList { "e0.jpg", "e4.jpg", "e5.jpg" }));
    EXPECT_EQ(selectedRows(), std::vector<int> { 1 });
    EXPECT_EQ(memo->toPlainText(), "e4.jpg");

    // A drop shows the first entry, and only that one is highlighted.
    prompts.expect(album::kSortQuestion, Answer::No, PromptKind::Confirmation);
    drop({ QString::fromStdString(picture("f.jpg")) });
    EXPECT_EQ(shownNames(), (QStringList { "e0.jpg", "e4.jpg", "e5.jpg", "f.jpg" }));
    EXPECT_EQ(selectedRows(), std::vector<int> { 0 });
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(memo->toPlainText(), "e0.jpg");
}
