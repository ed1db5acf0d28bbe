#pragma once
// Live widgets for the form controls of a document: one Qt widget per control that a paint
// placed (line edits, check boxes, radio buttons, push buttons, drop-down lists, list boxes,
// text editors), kept on the paint panel where the control was laid out and painted, and kept
// in step with the control objects both ways. The document moves and hides them through
// TControlWindow while it paints and scrolls; this class only creates them.
//
//     TFormWidgets widgets(paintPanel);
//     widgets.Attach(&document);
//     ... document.Paint(...); widgets.Update();   // after every paint
//
// The document must outlive the attachment: detach (or destroy this) before the document goes.

#include <memory>
#include <unordered_map>
#include <vector>

#include "html/layout/sectionlist.h"

class QWidget;

namespace kv {

class TFormWidgets {
public:
    explicit TFormWidgets(QWidget* panel);
    ~TFormWidgets();
    TFormWidgets(const TFormWidgets&) = delete;
    TFormWidgets& operator=(const TFormWidgets&) = delete;

    // Follows the controls of `document` (not owned); drops the widgets of the previous one.
    void Attach(TSectionList* document);
    // Drops every widget and forgets the document.
    void Detach();
    // After a paint: makes widgets for the controls the paint placed that have none yet and
    // puts them there. (offsetX, offsetY) is where the painted picture's origin lies on the
    // panel.
    void Update(int offsetX = 0, int offsetY = 0);
    // Where the picture about to be painted lies on the panel: the document places the widgets
    // relative to it while it paints.
    void SetOrigin(int offsetX, int offsetY) { offsetX_ = offsetX, offsetY_ = offsetY; }
    // The viewer's zoom in percent: places, sizes and fonts are enlarged by it. A change drops
    // the widgets (the controls keep their values); the next paint makes them anew.
    void SetZoom(int percent);

    // The widget of a control, or nullptr.
    QWidget* WidgetOf(const TFormControlObj& control) const;
    int Count() const { return int(windows_.size()); }

private:
    class Window;
    void DropWidgets();

    QWidget* panel_;
    TSectionList* document_ = nullptr;
    int offsetX_ = 0, offsetY_ = 0;
    int zoom_ = 100;
    std::vector<std::unique_ptr<Window>> windows_;
    std::unordered_map<const TFormControlObj*, Window*> byControl_;
};

}  // namespace kv
