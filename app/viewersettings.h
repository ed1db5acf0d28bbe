#pragma once
// How the reader sets up its article viewer; kvtool renders with the same settings so that its
// pictures are the reader's.

#include "html/viewer/htmlview.h"

namespace kv {

// White background, no border, no history, "MS Sans Serif" 10 for text and preformatted text,
// selection allowed, a vertical bar only, the default character set, print margins of 2 cm.
void SetUpArticleViewer(THtmlView& view);

}  // namespace kv
