// Кварнеля: the offline encyclopedia reader.

#include <QApplication>

#include "app/startup.h"
#include "app/widgets.h"
#include "cache/cachefile.h"
#include "platform/font.h"
#include "platform/paths.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("kvarnelya"));
    application.setQuitOnLastWindowClosed(false);
    // The windows ask for "MS Sans Serif" and "System"; our aliases give them Cyrillic faces.
    kv::fonts::Install();
    const auto translation = kv::InstallQtTranslation();
    kv::InstallAccessibility();

    auto windows = kv::CreateWindowSet(
        {kv::paths::programFolder(), kv::paths::windowsFolder(), kv::cache::DefaultFolder()});
    // Closing the main window ends the program, whatever other window is shown.
    QObject::connect(windows->Form1.get(), &kv::TForm1::Closed, &application, &QApplication::quit);
    kv::ShowMainWindow(*windows);
    return application.exec();
}
