// SPDX-License-Identifier: MIT
// Saves a picture of the about box as the desktop draws it: about_screenshot OUT.png
#include "album/prompts.h"
#include "ui/about_box.h"
#include "ui/application.h"
#include "ui/url_opener.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace
{

struct Unanswered final : pictora::album::Prompter {
    pictora::album::Answer ask(const pictora::album::Prompt &) override { return pictora::album::Answer::No; }
};

struct Nowhere final : pictora::ui::UrlOpener {
    void open(const QUrl &) override { }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    pictora::ui::setUpApplication(app);
    if (argc != 2) {
        std::fprintf(stderr, "usage: about_screenshot OUT.png\n");
        return 2;
    }
    Unanswered prompts;
    Nowhere urls;
    pictora::ui::TAboutBox box(prompts, urls);
    box.show();
    int status = 1;
    // Let the window system map and paint the box before it is grabbed.
    QTimer::singleShot(500, &box, [&] {
        status = box.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
        app.quit();
    });
    app.exec();
    return status;
}
