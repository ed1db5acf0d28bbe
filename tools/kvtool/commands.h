#pragma once
// The subcommands of kvtool. Each takes the arguments after its name and returns the exit code.

#include <string>
#include <vector>

#include "html/images/imagecache.h"
#include "html/layout/sectionlist.h"

namespace kv {
class THtmlView;
}

namespace kvtool {

using Args = std::vector<std::string>;

int Index(const Args& args);
int Search(const Args& args);
int Gif(const Args& args);
int Image(const Args& args);
int Tokens(const Args& args);
int Style(const Args& args);
int Layout(const Args& args);
int Render(const Args& args);
int Forms(const Args& args);
int PrintPdf(const Args& args);
int Find(const Args& args);

// A document read and laid out the way the viewer does it (layout and render).
// Prints a Windows-1251 text as UTF-8 on standard output / error.
void Print(const std::string& text);
void PrintError(const std::string& text);

// A document read without a viewer; what it cannot lay out is told on standard error.
struct TLoadedDocument : kv::TDocumentHost {
    TLoadedDocument();
    void ReportFailure(const std::string& text) override { PrintError("kvtool: " + text + "\n"); }
    void Load(const std::string& file);  // Windows-1251 name
    int Layout(kv::TCanvas& canvas, int width, int viewHeight);

    kv::TSectionList document;
    std::string title;
    int height = 0;
    int maxWidth = 0;
};

// Sets the viewer up as the reader does, sizes it and loads the file (with its #anchor);
// false, with the failure printed, when the file cannot be opened.
bool OpenInViewer(kv::THtmlView& view, const std::string& file, int width, int height);

// Reads the number after the option at args[i] into `value`, stepping past it; false (and an
// error printed) when it is missing or not a number.
bool IntOption(const Args& args, std::size_t& i, int& value);

}  // namespace kvtool
