// Fuzz target: any bytes as an article file, loaded into a viewer of a size taken from the
// input, then driven by keys, wheel turns, bar actions, anchors and resizes read from the input,
// with a paint of the panel after each step. Must never crash, hang or grow without bound.

#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "html/viewer/htmlview.h"
#include "html/viewer/paintpanel.h"
#include "html/viewer/scrollbar32.h"
#include "platform/codec.h"
#include "platform/messages.h"

namespace {

// The file every input is written to (rewritten each time; nothing read back between inputs).
std::string ArticlePath() {
    static QTemporaryDir folder;
    return folder.path().toStdString() + "/index.htm";
}

void Step(kv::THtmlView& view, std::uint8_t op) {
    static const int kKeys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown,
                                Qt::Key_Home, Qt::Key_End, Qt::Key_Left, Qt::Key_Right};
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

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication application(*argc, *argv);
    kv::messages::setHook([](kv::messages::Kind, const std::string&) {
        return kv::messages::Answer::Ok;
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8 || size > 200000) return 0;
    const std::string path = ArticlePath();
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 8), std::streamsize(size - 8));
    kv::THtmlView view;
    view.SetViewImages(false);  // no other files
    view.SetScrollBars(kv::TScrollStyle(data[0] % 4));
    view.SetBorderStyle(kv::THTMLBorderStyle(data[1] % 3));
    view.resize(30 + data[2] * 3, 30 + data[3] * 2);
    try {
        view.LoadFromFile(kv::cp1251::fromPath(path) + "#" + std::string(1, char('a' + data[4] % 26)));
    } catch (const kv::Exception&) {
        // Failures of the builder are the caller's to report.
    }
    auto* panel = static_cast<kv::TPaintPanel*>(view.PaintPanel());
    for (std::size_t i = 5; i < 8; ++i) {
        Step(view, data[i]);
        panel->Render(panel->rect());
    }
    view.Clear();
    panel->Render(panel->rect());
    return 0;
}
