#include "app/viewersettings.h"

namespace kv {

void SetUpArticleViewer(THtmlView& view) {
    view.SetDefBackground(0xFFFFFF);
    view.SetBorderStyle(THTMLBorderStyle::htNone);
    view.SetHistoryMaxCount(0);
    view.SetDefFontName("MS Sans Serif");
    view.SetDefPreFontName("MS Sans Serif");
    view.SetDefFontSize(10);
    view.SetNoSelect(false);
    view.SetScrollBars(TScrollStyle::ssVertical);
    view.SetCharSet(1);
    view.SetPrintMarginLeft(2);
    view.SetPrintMarginRight(2);
    view.SetPrintMarginTop(2);
    view.SetPrintMarginBottom(2);
}

}  // namespace kv
