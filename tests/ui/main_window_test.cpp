// SPDX-License-Identifier: MIT
// The picture helpers reach glib, whose headers must come before Qt's "signals" keyword.
#include "album/picture_files.h"
#include "tests/support/pictures.h"

#include "ui/main_window.h"

#include "tests/support/scripted_chooser.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/recording_opener.h"
#include "ui/application.h"
#include "ui/background_display.h"
#include "ui/colour_swatch.h"
#include "ui/image_list_view.h"
#include "ui/option_binding.h"
#include "ui/preview_window.h"
#include "ui/qt_chooser.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTranslator>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace pictora::ui
{
namespace
{

using album::Answer;
using album::OptionId;
using album::PromptKind;
using test::ScriptedChooser;
using test::ScriptedPrompter;
using Dialog = ScriptedChooser::Dialog;

class MainWindowTest : public ::testing::Test
{
protected:
    MainWindowTest()
        : window(prompts, chooser, urls)
    {
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    template <typename T> T &control(const char *name)
    {
        T *found = window.findChild<T *>(QString::fromLatin1(name));
        if (!found)
            throw std::runtime_error(std::string("no control ") + name);
        return *found;
    }
    QAction &action(const char *name) { return control<QAction>(name); }

    /// Replaces a field's text by typing, as a user does.
    void type(const char *name, const QString &text)
    {
        auto &edit = control<QLineEdit>(name);
        edit.setFocus();
        edit.selectAll();
        if (text.isEmpty())
            QTest::keyClick(&edit, Qt::Key_Backspace);
        else
            QTest::keyClicks(&edit, text);
    }

    /// The document saved to a project file, so that the changed mark can be set.
    void openProjectFile()
    {
        chooser.expect(Dialog::SaveProject, { temp.file("album.pxa") });
        action("mnSaveAs").trigger();
        ASSERT_EQ(window.projectPath(), temp.file("album.pxa"));
    }

    ScriptedPrompter prompts;
    ScriptedChooser chooser;
    test::RecordingOpener urls;
    test::TempDir temp;
    TfrMain window;
};

TEST_F(MainWindowTest, StartsAsTheWindowOfTheProgram)
{
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Pictora"));
    EXPECT_EQ(window.width(), 515) << "the height follows the menu bar's";
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(control<QTabWidget>("PageControl1").currentWidget(), &control<QWidget>("tsFile"));
    EXPECT_FALSE(action("mnSave").isEnabled());
    EXPECT_FALSE(control<QPushButton>("btReMakeHTML").isEnabled());
    EXPECT_FALSE(control<QPushButton>("btUndo").isEnabled());
    EXPECT_FALSE(action("mnAppend").isEnabled());
    EXPECT_TRUE(action("mnPreView").isChecked());
    // Start values are shown, swatches included.
    EXPECT_EQ(control<QSlider>("qJPEG").value(), 90);
    EXPECT_EQ(control<QLineEdit>("edqJPEG").text(), QStringLiteral("90"));
    EXPECT_EQ(control<QSpinBox>("csW3").maximum(), 128);
    EXPECT_TRUE(control<QRadioButton>("rbTC").isChecked());
    EXPECT_EQ(control<ColourSwatch>("sFCom").colour(), 0x8B0000u);
    // Only the centre button's fields are enabled.
    EXPECT_FALSE(control<QLineEdit>("edBt1Face").isEnabled());
    EXPECT_TRUE(control<QLineEdit>("edBt2URL").isEnabled());
    EXPECT_FALSE(control<QLabel>("lbBt32").isEnabled());
    EXPECT_FALSE(control<ColourSwatch>("sCellBGColor").isEnabled());
}

TEST_F(MainWindowTest, QualityPairFollowsTypingAndTellsAboutAnEmptyField)
{
    window.document().rebuildMade();
    type("edqJPEG", QStringLiteral("150"));
    EXPECT_EQ(control<QLineEdit>("edqJPEG").text(), QStringLiteral("100"));
    EXPECT_EQ(control<QSlider>("qJPEG").value(), 100);
    EXPECT_EQ(window.settings().number(OptionId::qJPEG), 100);
    EXPECT_FALSE(control<QPushButton>("btReMakeHTML").isEnabled());

    // Clearing the field to type anew gives the conversion message; the window goes on.
    prompts.expect("'' は整数ではありません", Answer::Ok, PromptKind::Error);
    type("edqJPEG", QString());
    EXPECT_EQ(control<QSlider>("qJPEG").value(), 100);
    QTest::keyClicks(&control<QLineEdit>("edqJPEG"), QStringLiteral("75"));
    EXPECT_EQ(control<QSlider>("qJPEG").value(), 75);

    // Moving the slider writes the edit.
    control<QSlider>("qJPEG").setFocus();
    QTest::keyClick(&control<QSlider>("qJPEG"), Qt::Key_Left);
    EXPECT_EQ(control<QLineEdit>("edqJPEG").text(), QStringLiteral("65"));
}

TEST_F(MainWindowTest, CellSizeLimitPullsBackOnlyPastTheThumbnailSize)
{
    // No project file yet: changes leave the changed mark off.
    type("edThumbX", QStringLiteral("200"));
    type("edThumbY", QStringLiteral("100"));
    EXPECT_FALSE(action("mnSave").isEnabled());
    openProjectFile();

    auto &width = control<QSpinBox>("csFCW");
    width.setFocus();
    QTest::keyClick(&width, Qt::Key_Up);
    EXPECT_EQ(width.value(), 161);
    EXPECT_FALSE(action("mnSave").isEnabled()) << "within the limit the project is not marked";

    prompts.expect("カラムの縦幅をこれ以上大きくするには、\nサムネイルオプションで縦サイズをより大きく設定し"
                   "てください。",
        Answer::Ok,
        PromptKind::Information);
    auto &height = control<QSpinBox>("csFCH");
    height.setFocus();
    QTest::keyClick(&height, Qt::Key_Up);
    EXPECT_EQ(height.value(), 100);
    EXPECT_EQ(window.settings().number(OptionId::csFCH), 100);
    EXPECT_TRUE(action("mnSave").isEnabled());
}

TEST_F(MainWindowTest, SwatchesGiveTheEditTheirColourConfirmedOrCancelled)
{
    openProjectFile();
    chooser.expect(Dialog::PickColour, {});
    QTest::mouseClick(&control<ColourSwatch>("sVLink"), Qt::LeftButton);
    EXPECT_EQ(control<QLineEdit>("edVLink").text(), QStringLiteral("8B0000"));
    EXPECT_TRUE(action("mnSave").isEnabled()) << "the swatch marks the project changed, even cancelled";

    // Any button opens the dialog, preset to the swatch's colour.
    chooser.expect(Dialog::PickColour, { "16711680" });
    QTest::mouseClick(&control<ColourSwatch>("sLink"), Qt::RightButton);
    EXPECT_EQ(control<QLineEdit>("edLink").text(), QStringLiteral("0000FF"));
    EXPECT_EQ(control<ColourSwatch>("sLink").colour(), 0xFF0000u);
    EXPECT_EQ(chooser.colourPresets, (std::vector<std::uint32_t> { 0x00008Bu, 0x0000FFu }));

    // Typing a colour moves the swatch; a short text reads as its pieces.
    type("edText", QStringLiteral("1"));
    EXPECT_EQ(control<ColourSwatch>("sText").colour(), 1u);

    // A disabled swatch opens nothing (the script fails on an unexpected dialog).
    QTest::mouseClick(&control<ColourSwatch>("sCellBGColor"), Qt::LeftButton);
    control<QCheckBox>("cbCellBGColor").click();
    chooser.expect(Dialog::PickColour, { "65280" });
    QTest::mouseClick(&control<ColourSwatch>("sCellBGColor"), Qt::MiddleButton);
    EXPECT_EQ(control<QLineEdit>("edCellBGColor").text(), QStringLiteral("00FF00"));
}

TEST_F(MainWindowTest, EnablingRulesAndProgramSetValuesReachTheControls)
{
    auto &nowrap = control<QCheckBox>("cbNowrap");
    nowrap.click();
    EXPECT_FALSE(control<QSpinBox>("csFCW").isEnabled());
    EXPECT_FALSE(control<QLabel>("lbFCW").isEnabled());
    EXPECT_EQ(window.settings().number(OptionId::csFCW), 160) << "the value stays";
    nowrap.click();
    EXPECT_TRUE(control<QSpinBox>("csFCW").isEnabled());

    control<QCheckBox>("cbBT1").click();
    EXPECT_TRUE(control<QLineEdit>("edBt1URL").isEnabled());
    control<QCheckBox>("cbMemo").click();
    EXPECT_FALSE(control<QWidget>("Memo").isEnabled());

    // The reset of New: every control shows the new values, the spin minimum included.
    control<QRadioButton>("rbS").click();
    action("mnNew").trigger();
    EXPECT_EQ(control<QSpinBox>("csTitleSize").value(), 6);
    EXPECT_EQ(control<QSpinBox>("csComSize").value(), 4);
    EXPECT_EQ(control<QSpinBox>("csW3").value(), 4);
    EXPECT_TRUE(control<QRadioButton>("rbL").isChecked());
    EXPECT_FALSE(control<QLineEdit>("edBt1URL").isEnabled());
    EXPECT_FALSE(control<QWidget>("Memo").isEnabled()) << "cbMemo is not reset";
}

TEST_F(MainWindowTest, SpinPullsATypedValueIntoRangeWhenLeft)
{
    auto &size = control<QSpinBox>("csTitleSize");
    auto leaveWith = [&](const char *typed) {
        size.setFocus();
        size.selectAll();
        QTest::keyClicks(&size, QString::fromLatin1(typed));
        QTest::keyClick(&size, Qt::Key_Tab);
        EXPECT_FALSE(size.hasFocus());
    };
    leaveWith("2");
    EXPECT_EQ(size.value(), 4);
    EXPECT_EQ(window.settings().number(OptionId::csTitleSize), 4);
    leaveWith("99");
    EXPECT_EQ(size.value(), 64);
    EXPECT_EQ(window.settings().number(OptionId::csTitleSize), 64);
    leaveWith("20");
    EXPECT_EQ(window.settings().number(OptionId::csTitleSize), 20);
}

TEST_F(MainWindowTest, EveryOptionOfTheTableHasItsControlInTheWindow)
{
    // A control missing or misnamed on its tab would leave its option unbound, unseen in a window
    // that otherwise works.
    for (const album::OptionDecl &decl : album::optionTable()) {
        const std::string_view name = decl.buttons.empty() || decl.kind != album::OptionKind::Choice
            ? decl.control
            : decl.buttons.front();
        EXPECT_NE(window.findChild<QWidget *>(QString::fromUtf8(name.data(), static_cast<int>(name.size()))),
            nullptr)
            << decl.control;
    }
    control<QCheckBox>("cbPhone").click();
    EXPECT_TRUE(window.settings().checked(OptionId::cbPhone));
}

TEST_F(MainWindowTest, ButtonsAndMenuItemsShareTheirHandlers)
{
    // The output folder, from its button, its menu item and the pop-up's item.
    const std::string output = (temp.path() / "out").string();
    std::filesystem::create_directory(output);
    chooser.expect(Dialog::PickFolder, { output });
    control<QPushButton>("btSetDir").click();
    EXPECT_EQ(control<QLineEdit>("edHTMLPath").text(), QString::fromStdString(output));

    chooser.expect(Dialog::PickFolder, { (temp.path() / "missing").string() });
    action("mnSetDir").trigger();
    EXPECT_EQ(window.settings().text(OptionId::edHTMLPath), output)
        << "a folder that is not there is not taken";

    type("edHTMLPath", QString());
    window.imageList().appendPicture("/photos/2004/a.jpg", [](const std::string &) { return std::string(); });
    chooser.expect(Dialog::PickFolder, {});
    action("N7").trigger();
    type("edHTMLPath", QStringLiteral("/no/such/folder"));
    chooser.expect(Dialog::PickFolder, {});
    control<QPushButton>("btSetDir").click();
    EXPECT_EQ(chooser.folderStarts, (std::vector<std::string> { "", output, "/photos/2004/", "" }));

    // Help: the shipped pages from both menus, the on-line page from the button.
    test::writeFile(temp.path() / "index.html", "<html></html>");
    test::writeFile(temp.path() / "topics.html", "<html></html>");
    window.setHelpFolders({ QStringLiteral("/no/such/help"), QString::fromStdString(temp.path().string()) });
    action("mnContents").trigger();
    action("Contents1").trigger();
    action("N9").trigger();
    control<QPushButton>("btHelp").click();
    const QString help = QUrl::fromLocalFile(QString::fromStdString(temp.path().string())).toString();
    EXPECT_EQ(urls.texts(),
        (std::vector<QString> { help + QStringLiteral("/index.html"),
            help + QStringLiteral("/index.html"),
            help + QStringLiteral("/topics.html"),
            QStringLiteral("https://pictora.example.org/help/PictoraDoc/") }));
}

TEST_F(MainWindowTest, EveryControlHasANameAndTabReachesIt)
{
    // Everything enabled, so that Tab can reach every field.
    for (const char *box : { "cbBT1", "cbBT3", "cbCellBGColor", "cbBorderColor" })
        control<QCheckBox>(box).click();

    auto ownControl = [this](QWidget *w) {
        // Qt's inner parts (a spin's edit, a scroll area's viewport) stand for their owner.
        while (w && w != &window && (w->objectName().isEmpty() || w->objectName().startsWith(u"qt_")))
            w = w->parentWidget();
        return w;
    };
    auto &pages = control<QTabWidget>("PageControl1");
    for (int page = 0; page < pages.count(); ++page) {
        pages.setCurrentIndex(page);
        QWidget &start = control<QWidget>("edHTMLPath");
        start.setFocus();
        std::set<QWidget *> reached { &start };
        for (int step = 0; step < 200; ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *now = ownControl(QApplication::focusWidget());
            if (now == &start)
                break;
            reached.insert(now);
        }
        for (QWidget *w : window.findChildren<QWidget *>()) {
            if (w->objectName().isEmpty() || w->objectName().startsWith(u"qt_") || !w->isVisible())
                continue;
            if (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy() || !w->isEnabled())
                continue;
            const QString name = w->objectName();
            QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(w);
            ASSERT_NE(spoken, nullptr) << name.toStdString();
            EXPECT_FALSE(spoken->text(QAccessible::Name).trimmed().isEmpty()) << name.toStdString();
            auto *radio = qobject_cast<QRadioButton *>(w);
            if (radio && !radio->isChecked())
                continue; // arrow keys move within a radio group; Tab reaches its checked button
            EXPECT_TRUE(reached.count(w)) << name.toStdString() << " on page " << page;
        }
    }
}

TEST_F(MainWindowTest, BackgroundPictureIsShownSmallAndAnUnreadableOneKeepsItsPath)
{
    const std::string wide = temp.file("wide.png");
    test::writeTestPng(wide, 200, 100);
    chooser.expect(Dialog::OpenPictures, { wide, temp.file("second.png") });
    window.document().rebuildMade();
    control<QPushButton>("btLoadBG").click();
    EXPECT_EQ(window.settings().text(OptionId::edBGImage), wide) << "the first chosen file counts";
    EXPECT_FALSE(control<QPushButton>("btReMakeHTML").isEnabled());
    const QImage shown = control<BackgroundDisplay>("Ik5DispBG").image();
    ASSERT_FALSE(shown.isNull());
    EXPECT_LE(shown.width(), 40);
    EXPECT_EQ(shown.width(), 2 * shown.height()) << "whole, in its own shape";

    // Not a picture: no message (the prompter would fail), the path stays, the display is empty.
    const std::string broken = temp.file("broken.jpg");
    test::writeFile(broken, "not a picture");
    chooser.expect(Dialog::OpenPictures, { broken });
    control<QPushButton>("btLoadBG").click();
    EXPECT_EQ(control<QLineEdit>("edBGImage").text(), QString::fromStdString(broken));
    EXPECT_TRUE(control<BackgroundDisplay>("Ik5DispBG").image().isNull());

    chooser.expect(Dialog::OpenPictures, {});
    control<QPushButton>("btLoadBG").click();
    EXPECT_EQ(window.settings().text(OptionId::edBGImage), broken) << "cancelled: nothing happens";
}

TEST_F(MainWindowTest, PreviewFollowsItsMenuItemAndDroppedFilesReachTheList)
{
    window.showWindows();
    ASSERT_TRUE(window.preview().isVisible());
    action("mnPreView").trigger();
    EXPECT_FALSE(window.preview().isVisible());
    action("mnPreView").trigger();
    EXPECT_TRUE(window.preview().isVisible());
    window.preview().close();
    EXPECT_FALSE(action("mnPreView").isChecked());

    // Local files dropped from the file manager, filtered by the list's rule; a folder stands for
    // its pictures (here a.JPG once more), a link from a browser for nothing.
    const std::string kept = temp.file("a.JPG");
    test::writeTestJpeg(kept, 16, 16);
    test::writeFile(temp.path() / "b.txt", "x");
    QMimeData files;
    files.setUrls({ QUrl::fromLocalFile(QString::fromStdString(kept)),
        QUrl::fromLocalFile(QString::fromStdString(temp.file("b.txt"))),
        QUrl::fromLocalFile(QString::fromStdString(temp.path().string())),
        QUrl(QStringLiteral("https://example.org/c.jpg")) });
    prompts.expect(album::kSortQuestion, Answer::No, PromptKind::Confirmation);
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    ASSERT_EQ(window.imageList().size(), 2u);
    EXPECT_EQ(window.imageList()[0].path, kept);
    EXPECT_EQ(window.imageList()[1].path, kept);
    EXPECT_EQ(control<QListWidget>("lbFileList").count(), 2);
}

TEST(QtChooser, FiltersKeepEveryPatternOfTheWindowsForm)
{
    EXPECT_EQ(toQtFilter(QString::fromStdString(album::openPictureFilter())),
        QStringLiteral(
            "すべての画像ファイル (*.jpg *.jpeg *.heic *.heif *.avif *.webp *.jxl *.tif *.tiff *.png "
            "*.bmp *.gif *.pcx);;JPEG (*.jpg *.jpeg);;HEIF (*.heic *.heif);;AVIF (*.avif);;"
            "WebP (*.webp);;JPEG XL (*.jxl);;TIFF (*.tif *.tiff);;PNG (*.png);;BMP (*.bmp);;"
            "GIF (*.gif);;PCX (*.pcx)"));
    EXPECT_EQ(toQtFilter(QString::fromUtf8(album::kProjectFilter)),
        QStringLiteral("Pictora・プロジェクトファイル (*.pxa)"));
}

TEST(Application, QtsOwnButtonsSpeakJapanese)
{
    ASSERT_TRUE(installQtTranslations(*QCoreApplication::instance())) << "qt6-translations-l10n";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("はい(&Y)"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
    // The file dialog's type column, which Qt's catalogue leaves in English.
    EXPECT_EQ(QCoreApplication::translate("QAbstractFileIconProvider", "Folder"), QStringLiteral("フォルダ"));
    EXPECT_EQ(QCoreApplication::translate("TfrMain", "Folder"), QStringLiteral("Folder"))
        << "only that context";
    // Later suites see Qt's texts as they were.
    for (QTranslator *translator : QCoreApplication::instance()->findChildren<QTranslator *>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

} // namespace
} // namespace pictora::ui
