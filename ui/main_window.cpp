// SPDX-License-Identifier: MIT
#include "ui/main_window.h"

#include "album/branding.h"
#include "album/choosers.h"
#include "album/prompts.h"
#include "imaging/picture.h"
#include "shell/help_pages.h"
#include "shell/startup.h"
#include "ui/about_box.h"
#include "ui/album_runner.h"
#include "ui/background_display.h"
#include "ui/busy_window.h"
#include "ui/contrast.h"
#include "ui/image_list_view.h"
#include "ui/option_binding.h"
#include "ui/picture_image.h"
#include "ui/preview_window.h"
#include "ui/progress_window.h"
#include "ui/qt_services.h"
#include "ui/qt_text.h"
#include "ui/url_opener.h"

#include "ui_main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QTabBar>
#include <QUrl>

namespace pictora::ui
{

shell::Registration DesktopSession::defaultRegistration()
{
    shell::Registration registration;
    registration.programPath = shell::programPath(nullptr);
    registration.iconFile = ":/pictora/icon.svg";
    return registration;
}

DesktopSession DesktopSession::inFolder(const std::string &folder)
{
    DesktopSession session;
    session.preferencesPath = folder + "/config/pictora.ini";
    session.registration.dataHome = folder + "/data";
    // What the machine has installed must not change what the window registers here.
    session.registration.systemDataDirs = { folder + "/system" };
    return session;
}

QStringList defaultHelpFolders()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    return { programFolder + QStringLiteral("/help"),
        QDir::cleanPath(programFolder + QStringLiteral("/../share/pictora/help")) };
}

TfrMain::TfrMain(album::Prompter &prompts,
    album::Chooser &chooser,
    UrlOpener &urls,
    DesktopSession session,
    QWidget *parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::TfrMain>())
    , m_prompts(prompts)
    , m_documentPrompts(prompts)
    , m_chooser(chooser)
    , m_urls(urls)
    , m_session(std::move(session))
    , m_store(m_session.preferencesPath)
    , m_document(m_documentPrompts)
    , m_helpFolders(defaultHelpFolders())
{
    m_ui->setupUi(this);
    // A fixed single-border window: minimise but no maximise, and no resizing. Without
    // CustomizeWindowHint Qt would add the maximise button back for the window manager.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    // 515 wide; high enough for the menu bar and the controls down to the bottom buttons, with the
    // same margin below them as at the window's sides, and no empty band.
    const int controlsBottom = m_ui->btEnd->geometry().bottom() + 1;
    setFixedSize(515, menuBar()->sizeHint().height() + controlsBottom + m_ui->PageControl1->x());
    move(250, 150);
    setAcceptDrops(true);
    m_ui->PageControl1->setCurrentWidget(m_ui->tsFile);
    // All seven tabs are always in view: the layout is fixed, nothing scrolls.
    m_ui->PageControl1->setUsesScrollButtons(false);
    m_ui->PageControl1->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 4px; }"));

    colourAddButton();
    buildPopupMenu();
    connectHandlers();
    assignShortcuts();
    m_options = new OptionBinding(
        *this,
        m_document.settings(),
        [this](album::OptionId id, const album::OptionValue &value) { m_document.setOption(id, value); },
        m_prompts);
    m_documentPrompts.attach(m_options);
    connect(m_options, &OptionBinding::swatchPressed, this, &TfrMain::swatchMouseDown);

    // The other windows, in this order, each hidden until something shows it.
    m_progress = new TfrProgress(this);
    m_preview = std::make_unique<TfrView>();
    m_about = new TAboutBox(
        m_urls,
        [this] { (void)shell::reRegisterFileType(m_store, m_session.registration, m_prompts); },
        this);

    m_listView = new ImageListView(*this, m_document.images(), m_document, m_prompts, m_chooser);
    m_listView->setPictureEdit(&m_document.pictureEdit());
    connect(this, &TfrMain::filesDropped, m_listView, &ImageListView::dropFiles);
    connect(m_listView, &ImageListView::listShown, this, &TfrMain::updateListCommands);
    connect(m_subPopUp->findChild<QAction *>(QStringLiteral("ListUndo1")),
        &QAction::triggered,
        m_listView,
        &ImageListView::undo);
    connect(m_subPopUp->findChild<QAction *>(QStringLiteral("ShiftTime1")),
        &QAction::triggered,
        m_listView,
        &ImageListView::shiftTimes);
    connect(m_subPopUp, &QMenu::aboutToShow, this, &TfrMain::updateListCommands);
    updateListCommands();
    rebuildAvailabilityChanged(m_document.rebuildAvailable());
    m_busy = new BusyWindow(*this);
    // While work runs the menu is shut and its keys with it; the two that would end the program or
    // start a make say why nothing happens instead, from whichever of the program's windows.
    for (const QKeySequence &keys :
        { QKeySequence(Qt::CTRL | Qt::Key_Q), QKeySequence(Qt::CTRL | Qt::Key_M) }) {
        auto *refused = new QShortcut(keys, this);
        refused->setContext(Qt::ApplicationShortcut);
        refused->setEnabled(false);
        connect(refused, &QShortcut::activated, this, &TfrMain::sayWorkIsRunning);
        connect(m_busy, &BusyWindow::busyChanged, refused, &QShortcut::setEnabled);
    }
    m_runner = new AlbumRunner(*m_busy,
        m_document.settings(),
        m_document.images(),
        m_prompts,
        *m_progress,
        *m_preview,
        *m_listView,
        [this](album::OptionId id, const album::OptionValue &value) { m_options->set(id, value); });
    m_runner->setOpener([this](const QUrl &url) { m_urls.open(url); });
    connect(m_runner, &AlbumRunner::finished, this, [this](bool completed, bool wasMake) {
        m_document.albumRunEnded(completed, wasMake);
    });
    // Closing the preview unticks its menu item.
    connect(m_preview.get(), &TfrView::closed, this, [this] { m_ui->mnPreView->setChecked(false); });

    m_document.pictureEdit().setProgress(m_progress);
    m_effectWorker = std::make_unique<QtEffectWorker>(*m_busy);
    m_document.pictureEdit().setWorker(m_effectWorker.get());
    m_document.setListener(this);
}

TfrMain::~TfrMain()
{
    m_document.setListener(nullptr);
    m_document.pictureEdit().setProgress(nullptr);
    m_document.pictureEdit().setWorker(nullptr);
    m_documentPrompts.attach(nullptr);
    // The run and the list view refer to the preview window: they go before it.
    delete m_runner;
    delete m_listView;
}

void TfrMain::showWindows()
{
    show();
    // Beside the working window, not over it; it keeps the place it has when shown again.
    m_preview->placeBeside(*this);
    m_preview->setVisible(m_ui->mnPreView->isChecked());
    // The keyboard belongs to the working window, not to the preview shown after it.
    raise();
    activateWindow();
}

void TfrMain::buildPopupMenu()
{
    m_subPopUp = new QMenu(this);
    m_subPopUp->setObjectName(QStringLiteral("subPopUp"));
    auto submenu = [this](const char *name, const char *title) {
        QMenu *menu = m_subPopUp->addMenu(toQString(title));
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    auto item = [](QMenu *menu, const char *name, const char *caption) {
        QAction *action = menu->addAction(toQString(caption));
        action->setObjectName(QString::fromLatin1(name));
    };
    QMenu *project = submenu("O1", "プロジェクト(&P)");
    item(project, "New1", "新規作成(&N)");
    item(project, "Open1", "開く(&O)");
    item(project, "SaveAs1", "名前を付けて保存(&A)");
    QMenu *image = submenu("N5", "画像(&I)");
    item(image, "A1", "リストに追加(&A)");
    item(image, "D1", "リストから削除(&D)");
    // The list's own commands beyond adding and deleting.
    image->addSeparator()->setObjectName(QStringLiteral("N14"));
    item(image, "ListUndo1", "元に戻す(&U)");
    item(image, "ShiftTime1", "時刻をずらす(&T)…");
    QMenu *album = submenu("N8", "アルバム(&A)");
    item(album, "N7", "出力先の指定(&F)");
    item(album, "HTMLM1", "HTMLアルバムの作成(&M)");
    m_subPopUp->addSeparator()->setObjectName(QStringLiteral("N11"));
    QMenu *help = submenu("Help1", "ヘルプ(&H)");
    item(help, "Contents1", "目次(&C)");
    item(help, "N9", "トピックスの検索(&S)");
    help->addSeparator()->setObjectName(QStringLiteral("N13"));
    item(help, "HTMLA1", "Pictoraについて(&A)");

    // The pop-up belongs to the list, the effect group and two option sheets; the sheets' own
    // fields keep their edit menus.
    for (QWidget *owner : { static_cast<QWidget *>(m_ui->lbFileList),
             static_cast<QWidget *>(m_ui->gbEffect),
             m_ui->tbJPEG,
             m_ui->tbTable }) {
        owner->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(owner, &QWidget::customContextMenuRequested, this, [this, owner](const QPoint &at) {
            m_subPopUp->popup(owner->mapToGlobal(at));
        });
    }
}

void TfrMain::assignShortcuts()
{
    struct Shortcut {
        const char *item;
        const char *popupItem; ///< the pop-up's item of the same command, if any
        QKeySequence keys;
    };
    const Shortcut shortcuts[] = {
        { "mnNew", "New1", QKeySequence(Qt::CTRL | Qt::Key_N) },
        { "mnOpen", "Open1", QKeySequence(Qt::CTRL | Qt::Key_O) },
        { "mnSave", nullptr, QKeySequence(Qt::CTRL | Qt::Key_S) },
        { "mnSaveAs", "SaveAs1", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S) },
        { "Exit1", nullptr, QKeySequence(Qt::CTRL | Qt::Key_Q) },
        { "mnContents", "Contents1", QKeySequence(Qt::Key_F1) },
        { "mnMakeHTML", "HTMLM1", QKeySequence(Qt::CTRL | Qt::Key_M) },
        { "mnDelImage", "D1", QKeySequence(Qt::Key_Delete) },
    };
    // The keys belong to the menu items, so a disabled item (or the menu bar shut during a run)
    // takes no key either.
    for (const Shortcut &shortcut : shortcuts) {
        auto *item = findChild<QAction *>(QString::fromLatin1(shortcut.item));
        Q_ASSERT(item);
        item->setShortcut(shortcut.keys);
        // The pop-up shows the same key; it answers it only while it is open itself.
        if (shortcut.popupItem) {
            auto *popupItem = m_subPopUp->findChild<QAction *>(QString::fromLatin1(shortcut.popupItem));
            Q_ASSERT(popupItem);
            popupItem->setShortcut(shortcut.keys);
            popupItem->setShortcutContext(Qt::WidgetShortcut);
        }
    }
    // Delete removes pictures only from the list: in an edit field it deletes text.
    m_ui->mnDelImage->setShortcutContext(Qt::WidgetShortcut);
    m_ui->lbFileList->addAction(m_ui->mnDelImage);
    // Ctrl+Z takes back a list change while the list has the keyboard; in the comment it takes back
    // typing, as everywhere.
    auto *listUndo = m_subPopUp->findChild<QAction *>(QStringLiteral("ListUndo1"));
    listUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    listUndo->setShortcutContext(Qt::WidgetShortcut);
    m_ui->lbFileList->addAction(listUndo);
}

void TfrMain::connectHandlers()
{
    using Handler = void (TfrMain::*)();
    struct Route {
        Handler handler;
        std::initializer_list<const char *> sources;
    };
    // Every button and menu item that does the same thing runs the same handler.
    const Route routes[] = {
        { &TfrMain::btAddImageClick, { "btAddImage", "mnAddImage", "A1" } },
        { &TfrMain::btDelImageClick, { "btDelImage", "mnDelImage", "D1" } },
        { &TfrMain::btAllDelImageClick, { "btAllDelImage" } },
        { &TfrMain::btUpClick, { "btUp", "mnUp" } },
        { &TfrMain::btDownClick, { "btDown", "mnDown" } },
        { &TfrMain::btRotLClick, { "btRotL", "mnRotL" } },
        { &TfrMain::btRotRClick, { "btRotR", "mnRotR" } },
        { &TfrMain::btMosaicClick, { "btMosaic", "mnMosaic" } },
        { &TfrMain::btNRClick, { "btNR", "mnNR" } },
        { &TfrMain::btEmbossClick, { "btEmboss", "mnEmboss" } },
        { &TfrMain::btSepiaClick, { "btSepia", "mnSepia" } },
        { &TfrMain::btUndoClick, { "btUndo", "mnUndo" } },
        { &TfrMain::btAppendClick, { "btAppend", "mnAppend" } },
        { &TfrMain::btMakeHTMLClick, { "btMakeHTML", "mnMakeHTML", "HTMLM1" } },
        { &TfrMain::btReMakeHTMLClick, { "btReMakeHTML" } },
        { &TfrMain::btHelpClick, { "btHelp" } },
        { &TfrMain::btEndClick, { "btEnd", "Exit1" } },
        { &TfrMain::btSetDirClick, { "btSetDir", "mnSetDir", "N7" } },
        { &TfrMain::btLoadBGClick, { "btLoadBG" } },
        { &TfrMain::mnNewClick, { "mnNew", "New1" } },
        { &TfrMain::mnOpenClick, { "mnOpen", "Open1" } },
        { &TfrMain::mnSaveClick, { "mnSave" } },
        { &TfrMain::mnSaveAsClick, { "mnSaveAs", "SaveAs1" } },
        { &TfrMain::mnPreViewClick, { "mnPreView" } },
        { &TfrMain::mnContentsClick, { "mnContents", "Contents1" } },
        { &TfrMain::mnSerchHelpClick, { "mnSerchHelp", "N9" } },
        { &TfrMain::mnAboutClick, { "mnAbout", "HTMLA1" } },
    };
    for (const Route &route : routes) {
        for (const char *source : route.sources) {
            const QString name = QString::fromLatin1(source);
            const Handler handler = route.handler;
            if (auto *button = findChild<QPushButton *>(name))
                connect(button, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
            else if (auto *action = findChild<QAction *>(name))
                connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
            else
                Q_ASSERT_X(false, "TfrMain", "a handler's source is missing from the window");
        }
    }
}

void TfrMain::optionChanged(album::OptionId id)
{
    m_options->showOption(id);
}

void TfrMain::listReplaced()
{
    m_listView->refresh();
}

void TfrMain::entryChanged(std::size_t)
{
    m_listView->refresh();
}

void TfrMain::changedMarkChanged(bool changed)
{
    m_ui->mnSave->setEnabled(changed);
}

void TfrMain::rebuildAvailabilityChanged(bool available)
{
    m_ui->btReMakeHTML->setEnabled(available);
    // A greyed button says why it is greyed.
    m_ui->btReMakeHTML->setToolTip(toQString(m_document.rebuildHint()));
}

void TfrMain::updateListCommands()
{
    const album::ImageList &images = m_document.images();
    m_subPopUp->findChild<QAction *>(QStringLiteral("ListUndo1"))->setEnabled(images.canUndo());
    m_subPopUp->findChild<QAction *>(QStringLiteral("ShiftTime1"))
        ->setEnabled(!images.selectedOrCurrent().empty());
}

void TfrMain::pictureChanged()
{
    project::PictureEdit &edit = m_document.pictureEdit();
    const album::ImageList &images = m_document.images();
    if (edit.edited())
        m_preview->showEdited(edit.picture());
    else if (edit.showsFile() && images.current() >= 0)
        m_preview->showPicture(toQString(images[static_cast<std::size_t>(images.current())].path));
    else
        m_preview->erase();
}

void TfrMain::effectCommandsChanged()
{
    const project::PictureEdit &edit = m_document.pictureEdit();
    m_ui->btAppend->setEnabled(edit.canApply());
    m_ui->mnAppend->setEnabled(edit.canApply());
    m_ui->btUndo->setEnabled(edit.canUndo());
    m_ui->mnUndo->setEnabled(edit.canUndo());
}

void TfrMain::btAddImageClick()
{
    m_listView->addImages();
}

void TfrMain::btDelImageClick()
{
    m_listView->deleteSelected();
}

void TfrMain::btAllDelImageClick()
{
    m_listView->deleteAll();
}

void TfrMain::btUpClick()
{
    m_listView->moveUp();
}

void TfrMain::btDownClick()
{
    m_listView->moveDown();
}

imaging::Region TfrMain::previewSelection() const
{
    const QRect selected = m_preview->selection();
    return { selected.x(), selected.y(), selected.width(), selected.height() };
}

void TfrMain::btRotLClick()
{
    m_document.pictureEdit().rotateLeft();
}

void TfrMain::btRotRClick()
{
    m_document.pictureEdit().rotateRight();
}

void TfrMain::btMosaicClick()
{
    // The blocks stay visible in the preview at the size it shows the picture.
    const QWidget *view = m_preview->view();
    m_document.pictureEdit().mosaic(previewSelection(), { view->width(), view->height() });
}

void TfrMain::btNRClick()
{
    m_document.pictureEdit().removeNoise();
}

void TfrMain::btEmbossClick()
{
    m_document.pictureEdit().emboss(previewSelection());
}

void TfrMain::btSepiaClick()
{
    m_document.pictureEdit().sepia();
}

void TfrMain::btUndoClick()
{
    m_document.pictureEdit().undo();
}

void TfrMain::btAppendClick()
{
    m_document.pictureEdit().apply();
}

void TfrMain::btMakeHTMLClick()
{
    m_runner->make();
}

void TfrMain::btReMakeHTMLClick()
{
    m_runner->rebuild();
}

void TfrMain::mnNewClick()
{
    m_document.newProject(m_chooser);
}

void TfrMain::mnOpenClick()
{
    m_document.openProject(m_chooser);
}

void TfrMain::mnSaveClick()
{
    m_document.save(m_chooser);
}

void TfrMain::mnSaveAsClick()
{
    m_document.saveAs(m_chooser);
}

void TfrMain::mnPreViewClick()
{
    // The item ticks and unticks itself; the preview follows it.
    m_preview->setVisible(m_ui->mnPreView->isChecked());
}

void TfrMain::btEndClick()
{
    close();
}

void TfrMain::btHelpClick()
{
    m_urls.open(QUrl(toQString(branding::kSiteUrl)).resolved(QUrl(toQString(branding::kHelpPath))));
}

void TfrMain::mnContentsClick()
{
    openHelpPage(QStringLiteral("index.html"));
}

void TfrMain::mnSerchHelpClick()
{
    openHelpPage(QStringLiteral("topics.html"));
}

void TfrMain::openHelpPage(const QString &page)
{
    std::vector<std::string> folders;
    for (const QString &folder : m_helpFolders)
        folders.push_back(toStdString(folder));
    if (const auto found = shell::findHelpPage(folders, toStdString(page)))
        m_urls.open(QUrl::fromLocalFile(toQString(*found)));
    else
        m_prompts.inform(album::PromptKind::Error, shell::helpPageMissingMessage(toStdString(page)));
}

void TfrMain::mnAboutClick()
{
    m_about->exec();
}

void TfrMain::swatchMouseDown(album::OptionId id)
{
    m_document.chooseColour(id, m_chooser);
}

void TfrMain::btSetDirClick()
{
    m_document.chooseOutputFolder(m_chooser);
}

void TfrMain::btLoadBGClick()
{
    const auto chosen = m_chooser.openPictures();
    if (chosen.empty())
        return;
    const std::string &path = chosen.front();
    m_options->set(album::OptionId::edBGImage, path);
    // A file that cannot be loaded is not reported: the display stays empty and the path stays.
    auto *display = m_ui->Ik5DispBG;
    display->clear();
    const int box = display->contentsRect().width();
    const imaging::Picture picture = imaging::loadFitted(
        path, [box](const imaging::PictureInfo &header) { return imaging::fitInside(header, box, box); });
    display->setImage(toQImage(picture));
    update();
}

void TfrMain::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TfrMain::dropEvent(QDropEvent *event)
{
    QStringList paths;
    // A link from a browser is passed on as its address, so that the drop can say it skipped it.
    for (const QUrl &url : event->mimeData()->urls())
        paths << (url.isLocalFile() ? url.toLocalFile() : url.toString());
    event->acceptProposedAction();
    if (!paths.isEmpty())
        emit filesDropped(paths);
}

void TfrMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_started || event->spontaneous())
        return;
    m_started = true;
    // Once the window is on the screen, so that a message about the project has it behind.
    QMetaObject::invokeMethod(
        this,
        [this] {
            shell::startUp(
                m_document, m_session.arguments, m_store, m_session.registration, m_documentPrompts);
        },
        Qt::QueuedConnection);
}

void TfrMain::sayWorkIsRunning()
{
    m_prompts.inform(album::PromptKind::Information, shell::kWorkRunningMessage);
}

void TfrMain::colourAddButton()
{
    QPushButton *button = m_ui->btAddImage;
    QPalette palette = button->palette();
    for (const auto group : { QPalette::Active, QPalette::Inactive }) {
        palette.setColor(group, QPalette::ButtonText, readableRed(palette.color(group, QPalette::Button)));
    }
    button->setPalette(palette);
}

void TfrMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // A new theme brings a new button colour.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        colourAddButton();
}

void TfrMain::closeEvent(QCloseEvent *event)
{
    // A run in flight still writes the album and reads the document, an effect works on the
    // picture: they end first.
    if (m_busy->isBusy()) {
        event->ignore();
        sayWorkIsRunning();
        return;
    }
    if (!shell::mayClose(m_document, m_chooser, m_store, m_documentPrompts)) {
        event->ignore();
        return;
    }
    m_preview->hide();
    QMainWindow::closeEvent(event);
}

} // namespace pictora::ui
