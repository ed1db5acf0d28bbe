#include "html/viewer/scrollbar32.h"

#include <algorithm>

namespace kv {

T32ScrollBar::T32ScrollBar(Qt::Orientation orientation, int lineStep, QWidget* parent)
    : QScrollBar(orientation, parent), lineStep_(lineStep) {
    setFocusPolicy(Qt::NoFocus);
    setSingleStep(lineStep);
    hide();
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
        if (sending_ || !OnAction) return;
        OnAction(action);
        // Whatever the owner decided wins over the step the system bar already took.
        sending_ = true;
        setSliderPosition(std::clamp(position_, minimum(), maximum()));
        sending_ = false;
    });
}

void T32ScrollBar::SetParams(int position, int page, int min, int max) {
    if (position == position_ && page == page_ && min == min_ && max == max_) return;
    position_ = position, page_ = page, min_ = min, max_ = max;
    SendToSystem();
}

void T32ScrollBar::SendToSystem() {
    ++systemUpdates_;
    sending_ = true;
    const QSignalBlocker blocker(this);
    const int top = std::max(min_, max_ - std::max(page_, 1) + 1);
    setRange(min_, top);
    QScrollBar::setPageStep(std::max(page_, 1));
    setValue(std::clamp(position_, min_, top));
    setSliderPosition(value());
    sending_ = false;
    update();
}

int T32ScrollBar::RequestedPosition(int action, int bottom) const {
    switch (action) {
    case SliderSingleStepSub: return position_ - lineStep_;
    case SliderSingleStepAdd: return position_ + lineStep_;
    case SliderPageStepSub: return position_ - pageStep_;
    case SliderPageStepAdd: return position_ + pageStep_;
    case SliderToMinimum: return 0;
    case SliderToMaximum: return bottom;
    case SliderMove: return sliderPosition();
    default: return position_;
    }
}

}  // namespace kv
