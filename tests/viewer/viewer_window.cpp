// A viewer alone in a real window, for the real-window test: shows FILE, prints where the
// first paragraph's text starts and ends and where the first link is (screen coordinates,
// from the viewer's own layout), then "shown FILE top Y" after every load, and the selected
// text's length when it changes.
//
//   viewer_window FILE

#include <QApplication>
#include <QTimer>
#include <iostream>

#include "app/viewersettings.h"
#include "html/viewer/htmlview.h"
#include "platform/canvas.h"
#include "platform/codec.h"

namespace {

QPoint ScreenPoint(kv::THtmlView& view, int cursor, int dx) {
    kv::TImageCanvas measure(1, 1);
    int y = 0, x = 0;
    view.Document().CursorToPoint(&measure, cursor, y, x);
    return view.PaintPanel()->mapToGlobal(
        QPoint(x + dx - view.HScrollPos(), y + 8 - view.VScrollPos()));
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) return 2;
    kv::THtmlView view;
    kv::SetUpArticleViewer(view);
    view.setWindowTitle("viewer window test");
    view.resize(600, 400);
    view.OnProcessing = [&](kv::THtmlView*, bool on) {
        if (!on)
            QTimer::singleShot(0, &view, [&] {
                std::cout << "shown " << view.CurrentFile() << " top " << view.VScrollPos()
                          << std::endl;
            });
    };
    view.show();
    view.LoadFromFile(argv[1]);
    QTimer::singleShot(300, &view, [&] {
        kv::TSectionList& doc = view.Document();
        // The first paragraph: from its first character to the last one of its line(s).
        const int start = doc.SearchText(0, u"Drag", true);
        const int end = doc.SearchText(0, u"paragraph.", true) + 9;
        const QPoint from = ScreenPoint(view, start, 0), to = ScreenPoint(view, end, 5);
        const QPoint link = ScreenPoint(view, doc.SearchText(0, u"other", true), 4);
        std::cout << "drag " << from.x() << " " << from.y() << " " << to.x() << " " << to.y()
                  << "\nlink " << link.x() << " " << link.y() << std::endl;
    });
    return application.exec();
}
