#include "app/startup.h"

#include <QGuiApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QTimer>

#include "platform/messages.h"

namespace kv {

void RunCreationHook(const std::function<void()>& hook) {
    try {
        hook();
    } catch (const std::exception& failure) {
        messages::showError(failure.what());
    }
}

std::unique_ptr<QTranslator> InstallQtTranslation() {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_ru"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    QCoreApplication::installTranslator(translator.get());
    return translator;
}

std::unique_ptr<TWindowSet> CreateWindowSet(const ShellFolders& folders) {
    auto windows = std::make_unique<TWindowSet>();
    windows->Form1 = std::make_unique<TForm1>(folders);
    RunCreationHook([&] { windows->Form1->FormCreate(); });
    windows->Form2 = std::make_unique<TForm2>();
    RunCreationHook([&] { windows->Form2->FormCreate(); });
    windows->Form3 = std::make_unique<TForm3>(windows->Form1.get());
    RunCreationHook([&] { windows->Form3->FormCreate(); });
    windows->Form4 = std::make_unique<TForm4>(windows->Form1.get());
    RunCreationHook([&] { windows->Form4->FormCreate(); });
    windows->Form1->SetWindows(windows->Form2.get(), windows->Form3.get(), windows->Form4.get());
    return windows;
}

void ShowMainWindow(TWindowSet& windows) {
    TForm1& main = *windows.Form1;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = main.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        main.move(frame.topLeft());
    }
    if (main.Tray->ShowMainFormAtStart())
        main.show();
    else if (!main.Tray->IconShown())
        // Started hidden into the tray; with no icon to click it starts in the task bar instead.
        main.showMinimized();
    windows.Indexer = std::make_unique<SearchIndexer>(main.ContentIndex(), main.CacheFolder(),
                                                      windows.Form4->FindFile1);
    QTimer::singleShot(0, windows.Indexer.get(), &SearchIndexer::Start);
}

}  // namespace kv
