#pragma once
// A scroll bar whose position, page, minimum and maximum are full ints, with its own copy of
// them: the system bar is told only when one of the four changed. The four follow the Windows
// scroll-info meaning (the largest reachable position is Max - Page + 1).
//
// The owner learns of every user action through OnAction, with the bar's stored position still
// the old one; it decides the new position and stores it back with SetPosition.

#include <QScrollBar>
#include <functional>

namespace kv {

class T32ScrollBar : public QScrollBar {
public:
    T32ScrollBar(Qt::Orientation orientation, int lineStep, QWidget* parent);

    // Stores the four and updates the system bar when any of them changed.
    void SetParams(int position, int page, int min, int max);
    void SetPosition(int position) { SetParams(position, page_, min_, max_); }

    int Position() const { return position_; }
    int Page() const { return page_; }
    int Min() const { return min_; }
    int Max() const { return max_; }
    int LineStep() const { return lineStep_; }
    // The step of page up and down (the owner's choice; not the thumb size).
    int PageStep() const { return pageStep_; }
    void SetPageStep(int step) { pageStep_ = step; }
    // How often the system bar was told new parameters.
    int SystemUpdates() const { return systemUpdates_; }

    // The position a user action asks for: line and page steps from the stored position, the
    // ends, or the thumb's place while it is dragged. `bottom` is where "to the end" goes.
    int RequestedPosition(int action, int bottom) const;

    std::function<void(int action)> OnAction;

private:
    void SendToSystem();

    int position_ = 0, page_ = 0, min_ = 0, max_ = 0;
    int lineStep_;
    int pageStep_ = 0;
    int systemUpdates_ = 0;
    bool sending_ = false;
};

}  // namespace kv
