#pragma once
// Start-up: the four windows created in their fixed order, each creation hook guarded so that a
// failure is reported and start-up goes on.

#include <QTranslator>
#include <functional>
#include <memory>

#include "app/backdrop.h"
#include "app/contentswindow.h"
#include "app/mainwindow.h"
#include "app/searchindexer.h"
#include "app/searchwindow.h"
#include "app/strcon.h"

namespace kv {

struct TWindowSet {
    TStringCollection Strings;  // the program's one string helper
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TForm2> Form2;
    std::unique_ptr<TForm3> Form3;
    std::unique_ptr<TForm4> Form4;
    // Last, so that it stops before the windows it serves go.
    std::unique_ptr<SearchIndexer> Indexer;
};

// Creates the main, backdrop, contents and search windows in that order, running each creation
// hook; none is shown yet.
std::unique_ptr<TWindowSet> CreateWindowSet(const ShellFolders& folders);
// Shows the main window centred on its screen; the others stay hidden. Then, from the event
// loop, the search's index is brought up to date on a helper thread (with a cache folder).
void ShowMainWindow(TWindowSet& windows);
// Installs Qt's own Russian texts (the standard buttons of message boxes read «Да», «Нет») and
// returns the translator, which must live as long as the boxes; none when the translation is not
// installed, and the boxes speak English.
std::unique_ptr<QTranslator> InstallQtTranslation();
// Runs a window's creation hook; a failure is shown by the standard error box and swallowed.
void RunCreationHook(const std::function<void()>& hook);

}  // namespace kv
