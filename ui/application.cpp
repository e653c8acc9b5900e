// SPDX-License-Identifier: MIT
#include "ui/application.h"

#include "shell/startup.h"
#include "ui/main_window.h"
#include "ui/qt_chooser.h"
#include "ui/qt_services.h"
#include "ui/url_opener.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>
#include <string_view>
#include <utility>

namespace pictora::ui
{

namespace
{

/// The file dialog's texts that Qt's Japanese catalogue leaves out (a folder's type in the detail
/// view); every other text goes on to the catalogue.
class MissingQtTexts final : public QTranslator
{
public:
    using QTranslator::QTranslator;
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        static constexpr std::pair<const char *, const char *> kIconProvider[] = {
            { "Folder", "フォルダ" },
            { "File Folder", "フォルダ" },
            { "Drive", "ドライブ" },
            { "Shortcut", "ショートカット" },
            { "Alias", "エイリアス" },
            { "Unknown", "不明" },
        };
        if (context && sourceText && std::string_view(context) == "QAbstractFileIconProvider") {
            for (const auto &[english, japanese] : kIconProvider) {
                if (std::string_view(sourceText) == english)
                    return QString::fromUtf8(japanese);
            }
        }
        return {};
    }
    [[nodiscard]] bool isEmpty() const override { return false; }
};

} // namespace

bool installQtTranslations(QCoreApplication &app)
{
    QCoreApplication::installTranslator(new MissingQtTexts(&app));
    auto *translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Japanese),
            QStringLiteral("qtbase"),
            QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

void setUpApplication(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("Pictora"));
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    installQtTranslations(app);

    // The font the layout was drawn for, else an installed Japanese proportional gothic.
    QFont font;
    font.setFamilies({ QStringLiteral("ＭＳ Ｐゴシック"),
        QStringLiteral("MS PGothic"),
        QStringLiteral("IPAPGothic"),
        QStringLiteral("IPA Pゴシック"),
        QStringLiteral("IPAGothic"),
        QStringLiteral("Noto Sans CJK JP") });
    font.setPixelSize(12);
    QApplication::setFont(font);
    QApplication::setEffectEnabled(Qt::UI_AnimateTooltip, false);
}

namespace
{

/// Message boxes belong to the main window, which needs its prompter before it exists.
class WindowPrompter final : public album::Prompter
{
public:
    void attach(QWidget *window) { m_boxes = std::make_unique<QtPrompter>(window); }
    album::Answer ask(const album::Prompt &prompt) override
    {
        if (!m_boxes)
            attach(nullptr);
        return m_boxes->ask(prompt);
    }

private:
    std::unique_ptr<QtPrompter> m_boxes;
};

} // namespace

int runDesktop(int &argc, char **argv)
{
    QApplication app(argc, argv);
    setUpApplication(app);
    WindowPrompter prompts;
    QtChooser chooser(nullptr);
    DesktopUrlOpener urls;
    DesktopSession session;
    for (int i = 1; i < argc; ++i)
        session.arguments.emplace_back(argv[i]);
    session.registration.programPath = shell::programPath(argc > 0 ? argv[0] : nullptr);
    TfrMain window(prompts, chooser, urls, std::move(session));
    prompts.attach(&window);
    chooser.setParent(&window);
    window.showWindows();
    return QApplication::exec();
}

} // namespace pictora::ui
