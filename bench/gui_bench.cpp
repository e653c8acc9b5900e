// SPDX-License-Identifier: MIT
// The desktop window under load, each figure beside a peer measured in the same run:
//   preview   time from selecting a picture to its preview on show, against decoding it whole and
//             scaling it on the window thread;
//   arrowing  the window thread's longest stall while Down is pressed through 500 entries, against
//             loading each preview on the window thread, and the memory that browsing takes;
//   make      repaints per second of the main window during a make run, against the same run
//             on the window thread;
//   effect    the window thread's longest stall while effects work on a large picture and the
//             preview shows their result, against shrinking the result for the view there.
//
//   pictora_gui_bench CORPUS_DIR [OUT_DIR]        (QT_QPA_PLATFORM=offscreen when there is no display)
//   pictora_gui_bench --effect PICTURE             the effect figure alone, on a picture of any size
#include "album/choosers.h"
#include "album/prompts.h"
#include "album/settings.h"
#include "generate/make_album.h"
#include "imaging/picture.h"
#include "ui/album_runner.h"
#include "ui/image_list_view.h"
#include "ui/main_window.h"
#include "ui/option_binding.h"
#include "ui/picture_image.h"
#include "ui/preview_window.h"
#include "ui/progress_window.h"
#include "ui/url_opener.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace pictora;
namespace fs = std::filesystem;

namespace
{

struct BenchPrompter final : album::Prompter {
    album::Answer ask(const album::Prompt &prompt) override
    {
        if (prompt.question == album::Question::HtmlFolder)
            return album::Answer::No;
        return prompt.buttons.front();
    }
};

struct NoChooser final : album::Chooser {
    std::vector<std::string> openPictures() override { return {}; }
    std::optional<std::string> openProject() override { return {}; }
    std::optional<std::string> saveProject(const std::string &) override { return {}; }
    std::optional<std::string> pickFolder(const std::string &) override { return {}; }
    std::optional<std::uint32_t> pickColour(std::uint32_t) override { return {}; }
};

struct NoBrowser final : ui::UrlOpener {
    void open(const QUrl &) override { }
};

/// Resident and peak resident memory of this process, in MiB.
std::pair<double, double> memoryMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    double rss = 0, hwm = 0;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:"))
            rss = std::stod(line.substr(6)) / 1024.0;
        else if (line.starts_with("VmHWM:"))
            hwm = std::stod(line.substr(6)) / 1024.0;
    }
    return { rss, hwm };
}

/// The longest time the event loop went without turning, sampled by a 2 ms timer.
class StallWatch
{
public:
    StallWatch()
    {
        m_timer.setInterval(2);
        QObject::connect(
            &m_timer, &QTimer::timeout, [this] { m_worst = std::max(m_worst, m_clock.restart()); });
    }
    void start()
    {
        m_worst = 0;
        m_clock.start();
        m_timer.start();
    }
    qint64 stop()
    {
        m_timer.stop();
        return std::max(m_worst, m_clock.elapsed());
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_worst = 0;
};

/// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void benchPreview(const std::vector<std::string> &pictures)
{
    ui::TfrView preview;
    preview.show();
    QSignalSpy shown(&preview, &ui::TfrView::pictureShown);
    std::vector<double> ours, peer;
    for (const std::string &path : pictures) {
        QElapsedTimer clock;
        clock.start();
        preview.showPicture(QString::fromStdString(path));
        shown.wait(10000);
        QApplication::processEvents(); // the paint that follows
        ours.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);

        clock.restart();
        const QImage whole = ui::toQImage(imaging::load(path));
        const QImage scaled = whole.scaled(640, 480, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        peer.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (scaled.isNull())
            std::printf("peer could not load %s\n", path.c_str());
    }
    std::printf("preview   %zu pictures 4000x3000: select to shown  median %.1f ms  max %.1f ms\n",
        ours.size(),
        median(ours),
        *std::max_element(ours.begin(), ours.end()));
    std::printf(
        "          peer, whole decode + smooth scale on the window thread: median %.1f ms  max %.1f ms\n",
        median(peer),
        *std::max_element(peer.begin(), peer.end()));
}

void benchArrowing(const std::vector<std::string> &pictures)
{
    BenchPrompter prompts;
    NoChooser chooser;
    NoBrowser browser;
    const QTemporaryDir home; // the user's own preferences and file types stay untouched
    ui::TfrMain window(prompts, chooser, browser, ui::DesktopSession::inFolder(home.path().toStdString()));
    std::vector<std::string> paths;
    for (int i = 0; i < 500; ++i)
        paths.push_back(pictures[static_cast<std::size_t>(i) % pictures.size()]);
    window.imageList().appendInOrder(paths, {}, [](const std::string &) { return std::string("stamp"); });
    window.listView().refresh();
    window.showWindows();
    auto *list = window.findChild<QListWidget *>("lbFileList");
    list->setCurrentRow(0);
    list->setFocus();
    QTest::qWait(300);

    const auto [rssBefore, hwmBefore] = memoryMiB();
    double rssMax = rssBefore;
    StallWatch watch;
    watch.start();
    QElapsedTimer clock;
    clock.start();
    // 30 presses a second, as a held key repeats.
    for (int i = 1; i < 500; ++i) {
        QTest::keyClick(list, Qt::Key_Down);
        QTest::qWait(33);
        rssMax = std::max(rssMax, memoryMiB().first);
    }
    const qint64 stall = watch.stop();
    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    QTest::qWait(500);
    const auto [rssAfter, hwmAfter] = memoryMiB();
    std::printf("arrowing  499 Down presses in %.1f s: row %d, longest stall of the window thread %lld ms\n",
        seconds,
        list->currentRow(),
        static_cast<long long>(stall));
    std::printf(
        "memory    browsing 500 pictures: resident %.0f MiB before, at most %.0f MiB during, %.0f after "
        "(process peak %.0f MiB)\n",
        rssBefore,
        rssMax,
        rssAfter,
        hwmAfter);

    // The peer: the same presses with each preview loaded on the window thread.
    qint64 peerWorst = 0;
    for (int i = 0; i < 30; ++i) {
        QElapsedTimer one;
        one.start();
        const imaging::Picture p
            = imaging::loadFitted(paths[static_cast<std::size_t>(i)], [](const imaging::PictureInfo &h) {
                  return imaging::TargetSize { 640, std::max(1, 640 * h.height / std::max(1, h.width)) };
              });
        const QImage image = ui::toQImage(p);
        peerWorst = std::max(peerWorst, one.elapsed());
        QTest::qWait(33);
    }
    std::printf(
        "          peer, preview decoded at scale on the window thread: each press stalls it up to %lld ms\n",
        static_cast<long long>(peerWorst));
}

void benchMake(const std::vector<std::string> &pictures, const std::string &outRoot)
{
    BenchPrompter prompts;
    NoChooser chooser;
    NoBrowser browser;
    const QTemporaryDir home; // the user's own preferences and file types stay untouched
    ui::TfrMain window(prompts, chooser, browser, ui::DesktopSession::inFolder(home.path().toStdString()));
    window.imageList().appendInOrder(pictures, {}, [](const std::string &) { return std::string("stamp"); });
    window.listView().refresh();
    window.options().set(album::OptionId::edTitle, std::string("bench"));
    window.options().set(album::OptionId::edRevMade, std::string("bench@example.org"));
    window.showWindows();
    PaintCounter counter;
    window.centralWidget()->installEventFilter(&counter);
    // Something in the window wants drawing 60 times a second, as a busy desktop would ask.
    QTimer ticker;
    ticker.setInterval(16);
    QObject::connect(&ticker, &QTimer::timeout, [&] { window.centralWidget()->update(); });

    const std::string ours = outRoot + "/window";
    fs::remove_all(ours);
    fs::create_directories(ours);
    window.options().set(album::OptionId::edHTMLPath, ours);
    QSignalSpy finished(&window.runner(), &ui::AlbumRunner::finished);
    ticker.start();
    StallWatch watch;
    watch.start();
    QElapsedTimer clock;
    clock.start();
    counter.paints = 0;
    window.runner().make();
    finished.wait(600000);
    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    const int paints = counter.paints;
    const qint64 stall = watch.stop();
    std::printf("make      %zu pictures in %.1f s from the window: %d repaints, %.1f a second, longest stall "
                "%lld ms\n",
        pictures.size(),
        seconds,
        paints,
        paints / seconds,
        static_cast<long long>(stall));

    // The peer: the same run on the window thread, as a one-thread program does it.
    const std::string peerOut = outRoot + "/peer";
    fs::remove_all(peerOut);
    fs::create_directories(peerOut);
    album::AlbumSettings settings = window.settings();
    settings.store(album::OptionId::edHTMLPath, peerOut);
    struct Platform final : generate::RunPlatform {
        bool moveToTrash(const std::string &) override { return false; }
        void openDocument(const std::string &) override { }
    } platform;
    album::NullProgress progress;
    generate::RunContext context { settings, window.imageList().entries(), prompts, progress, platform, 0 };
    counter.paints = 0;
    watch.start();
    clock.restart();
    generate::makeAlbum(context);
    QApplication::processEvents();
    const double peerSeconds = static_cast<double>(clock.elapsed()) / 1000.0;
    const qint64 peerStall = watch.stop();
    ticker.stop();
    std::printf("          peer, the run on the window thread: %.1f s, %d repaints, %.1f a second, longest "
                "stall %lld ms\n",
        peerSeconds,
        counter.paints,
        counter.paints / peerSeconds,
        static_cast<long long>(peerStall));
}

void benchEffect(const std::string &picture)
{
    BenchPrompter prompts;
    NoChooser chooser;
    NoBrowser browser;
    const QTemporaryDir home; // the user's own preferences and file types stay untouched
    ui::TfrMain window(prompts, chooser, browser, ui::DesktopSession::inFolder(home.path().toStdString()));
    window.imageList().appendInOrder(
        { picture }, {}, [](const std::string &) { return std::string("stamp"); });
    window.listView().refresh();
    window.showWindows();
    window.listView().selectFirst();
    QTest::qWait(500);
    const project::PictureEdit &edit = window.document().pictureEdit();
    const char *const effects[] = { "btRotL", "btSepia", "btRotR" };
    StallWatch watch;
    qint64 worstStall = 0;
    std::vector<double> toShown;
    for (const char *effect : effects) {
        watch.start();
        QElapsedTimer clock;
        clock.start();
        window.findChild<QPushButton *>(effect)->click();
        if (!QTest::qWaitFor([&] { return !edit.busy() && !window.preview().isLoading(); }, 600000))
            std::printf("%s did not end\n", effect);
        toShown.push_back(static_cast<double>(clock.elapsed()));
        worstStall = std::max(worstStall, watch.stop());
    }
    std::printf(
        "effect    %zu effects on a %dx%d picture: click to shown median %.0f ms, longest stall of the "
        "window thread %lld ms\n",
        toShown.size(),
        edit.picture().width(),
        edit.picture().height(),
        median(toShown),
        static_cast<long long>(worstStall));

    // The peer: the edited picture shrunk for the 640 x 480 view on the window thread.
    qint64 peerWorst = 0;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer one;
        one.start();
        const imaging::TargetSize fitted
            = imaging::fitInside({ edit.picture().width(), edit.picture().height(), 24 }, 640, 480);
        imaging::Picture shown;
        if (imaging::Resize(edit.picture(), shown, fitted.width, fitted.height)
            && ui::toQImage(shown).isNull())
            std::printf("peer could not convert the shrunk picture\n");
        peerWorst = std::max(peerWorst, one.elapsed());
    }
    std::printf("          peer, the result shrunk for the view on the window thread: stalls it %lld ms\n",
        static_cast<long long>(peerWorst));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: pictora_gui_bench CORPUS_DIR [OUT_DIR] | --effect PICTURE\n");
        return 2;
    }
    if (std::string(argv[1]) == "--effect" && argc > 2) {
        benchEffect(argv[2]);
        return 0;
    }
    std::vector<std::string> pictures;
    for (const auto &item : fs::directory_iterator(argv[1])) {
        if (item.path().extension() == ".jpg")
            pictures.push_back(item.path().string());
    }
    std::sort(pictures.begin(), pictures.end());
    if (pictures.empty()) {
        std::fprintf(stderr, "no pictures in %s (bench/make-corpus.sh)\n", argv[1]);
        return 2;
    }
    const std::string out = argc > 2 ? argv[2] : (fs::temp_directory_path() / "pictora-gui-bench").string();
    benchPreview(std::vector<std::string>(
        pictures.begin(), pictures.begin() + std::min<std::size_t>(pictures.size(), 20)));
    benchArrowing(pictures);
    benchMake(pictures, out);
    benchEffect(pictures.front());
    return 0;
}
