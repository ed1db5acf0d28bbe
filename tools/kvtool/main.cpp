// kvtool: the reader's engine from the command line, one subcommand per capability.

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "platform/codec.h"
#include "platform/messages.h"
#include "tools/kvtool/commands.h"

namespace kvtool {

void Print(const std::string& text) {
    std::cout << std::string(text);
}
void PrintError(const std::string& text) {
    std::cerr << std::string(text);
}

bool IntOption(const Args& args, std::size_t& i, int& value) {
    const std::string& option = args[i];
    try {
        if (i + 1 < args.size()) {
            value = std::stoi(args[++i]);
            return true;
        }
    } catch (const std::exception&) {
    }
    PrintError("kvtool: " + option + " needs a number\n");
    return false;
}

namespace {

struct Command {
    const char* name;
    const char* usage;
    int (*run)(const Args&);
};

int Help(const Args&);

const Command kCommands[] = {
    {"help", "help                      list the subcommands", Help},
    {"index",
     "index [--tree] [--no-cache] FOLDER\n"
     "                            contents lines of a content folder (or its tree)",
     Index},
    {"search",
     "search [--threaded] [--exact-cyrillic] [--no-cache] FOLDER PHRASE\n"
     "                            article files (*.htm) below FOLDER containing PHRASE",
     Search},
    {"gif", "gif FILE                  screen, loop and frames of a GIF as the decoder reads them",
     Gif},
    {"image",
     "image FILE -o OUT.png [--bits 4|8|24] [--corner] [--frame N]\n"
     "                            an image as a document loads and draws it, as PNG",
     Image},
    {"tokens", "tokens FILE               the token stream of an HTML file", Tokens},
    {"style", "style [--defaults] FILE   the style list after reading its STYLE elements", Style},
    {"layout",
     "layout FILE --width W [--sections]\n"
     "                            height, widest line, anchor y's (and sections) of a document",
     Layout},
    {"render",
     "render FILE[#ANCHOR] [--width 665] [--height 457] [--full] -o OUT.png\n"
     "                            the document as the viewer paints it, as PNG",
     Render},
    {"forms",
     "forms FILE [--width W]    forms, their controls (kind, name, x, y, width, height)\n"
     "                            and the NAME=value lines each would send",
     Forms},
    {"print",
     "print FILE[#ANCHOR] -o OUT.pdf [--from N] [--to M] [--dpi D]\n"
     "                            the document printed as the reader prints it, as PDF",
     PrintPdf},
    {"find",
     "find FILE PHRASE [--match-case] [--times N]\n"
     "                            the selection (start, end, scroll top) of each Find",
     Find},
};

int Help(const Args&) {
    std::cout << "usage: kvtool COMMAND [ARGS]\n";
    for (const Command& command : kCommands) std::cout << "  " << command.usage << '\n';
    return 0;
}

}  // namespace
}  // namespace kvtool

// A command-line tool prints only what it means to: the platform's notes on the session
// (no runtime folder on a console, for instance) are dropped; its failures still show.
void QuietPlatform(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << message.toStdString() << '\n';
}

int main(int argc, char* argv[]) {
    qInstallMessageHandler(QuietPlatform);
    // Fonts and widgets need the application; without a display it runs off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);  // render draws through the viewer widget
    // No boxes on the console: warnings and errors go to standard error.
    kv::messages::setHook([](kv::messages::Kind, const std::string& text) {
        kvtool::PrintError("kvtool: " + text + "\n");
        return kv::messages::Answer::No;
    });
    if (argc < 2) return kvtool::Help({}), 2;
    const kvtool::Args args(argv + 2, argv + argc);
    for (const auto& command : kvtool::kCommands) {
        if (std::strcmp(command.name, argv[1]) == 0) {
            try {
                return command.run(args);
            } catch (const std::exception& failure) {
                kvtool::PrintError(std::string("kvtool: ") + failure.what() + "\n");
                return 1;
            }
        }
    }
    std::cerr << "kvtool: unknown command '" << argv[1] << "' (try kvtool help)\n";
    return 2;
}
