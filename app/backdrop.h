#pragma once
// The backdrop window: black, borderless, larger than the screen. Created at start-up and never
// shown.

#include "app/widgets.h"

namespace kv {

class TForm2 : public TBorderlessForm {
    Q_OBJECT
public:
    TForm2();
    void FormCreate();
};

}  // namespace kv
