// Fuzz target: any bytes as an article file, loaded into a viewer of a size taken from the
// input, then driven by keys, wheel turns, bar actions, anchors and resizes read from the input,
// with a paint of the panel (on the recording canvas) after each step. Must never crash, hang or
// grow without bound.

#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "html/viewer/htmlview.h"
#include "html/viewer/scrollbar32.h"
#include "platform/canvas.h"
#include "platform/codec.h"
#include "platform/messages.h"

namespace {

// The file every input is written to (rewritten each time; nothing read back between inputs).
std::string ArticlePath() {
    static QTemporaryDir folder;
    return folder.path().toStdString() + "/index.htm";
}

void Step(kv::THtmlView& view, std::uint8_t op) {
    static const int kKeys[] = {Qt::Key_Up,   Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown,
                                Qt::Key_Home, Qt::Key_End,  Qt::Key_Left,   Qt::Key_Right};
    switch (op % 6) {
    case 0: {
        QKeyEvent key(QEvent::KeyPress, kKeys[(op / 6) % 8], Qt::NoModifier);
        QApplication::sendEvent(&view, &key);
        break;
    }
    case 1: {
        QWheelEvent wheel(QPointF(1, 1), QPointF(1, 1), QPoint(), QPoint(0, (op - 128) * 7),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &wheel);
        break;
    }
    case 2: view.VScrollBar().triggerAction(QAbstractSlider::SliderAction(op / 6 % 8)); break;
    case 3: view.HScrollBar().triggerAction(QAbstractSlider::SliderAction(op / 6 % 8)); break;
    case 4: view.resize(20 + op * 3, 20 + op * 2); break;
    default: view.SetPosition(op << 14); break;
    }
}

}  // namespace

// The toolkit's font database keeps the fontconfig patterns of every face name a document asks
// for until the application object goes, and this one never goes (see below).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Lives until the process ends: destroyed among the exit handlers it would outlive the
    // toolkit's own globals.
    static QApplication* application = new QApplication(*argc, *argv);
    (void)application;
    kv::messages::setHook(
        [](kv::messages::Kind, const std::string&) { return kv::messages::Answer::Ok; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8 || size > 200000) return 0;
    const std::string path = ArticlePath();
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 8), std::streamsize(size - 8));
    // Fixed metrics and the recording canvas: no font files, so arbitrary face names cost nothing.
    kv::TTestFontEngine fonts;
    kv::THtmlView view(fonts, nullptr);
    view.SetViewImages(false);  // no other files
    view.SetScrollBars(kv::TScrollStyle(data[0] % 4));
    view.SetBorderStyle(kv::THTMLBorderStyle(data[1] % 3));
    view.resize(30 + data[2] * 3, 30 + data[3] * 2);
    try {
        view.LoadFromFile(kv::text::fromPath(path) + "#" +
                          std::string(1, char('a' + data[4] % 26)));
    } catch (const kv::Exception&) {
        // Failures of the builder are the caller's to report.
    }
    kv::TRecordingCanvas canvas(fonts);
    const QWidget* panel = view.PaintPanel();
    for (std::size_t i = 5; i < 8; ++i) {
        Step(view, data[i]);
        view.PaintDocument(canvas, panel->rect());
        canvas.ClearLines();
    }
    view.Clear();
    view.PaintDocument(canvas, panel->rect());
    return 0;
}
