#include "html/layout/indentmanager.h"

#include <algorithm>
#include <climits>

#include "html/layout/floatingobj.h"

namespace kv {

void IndentManagerBasic::ClearAll() {
    LeftList.clear();
    RightList.clear();
    CurrentOwner = nullptr;
}

void IndentManagerBasic::SetEdges(int left, int right) {
    LeftEdge = left;
    RightEdge = right;
    CurrentOwner = nullptr;
}

int IndentManagerBasic::AddLeft(int x, int y) {
    LeftList.push_back({x, y, kOpenEnd, CurrentOwner, false});
    return int(LeftList.size()) - 1;
}

int IndentManagerBasic::AddRight(int x, int y) {
    RightList.push_back({x, y, kOpenEnd, CurrentOwner, false});
    return int(RightList.size()) - 1;
}

void IndentManagerBasic::CloseLeft(int index, int y) {
    if (index >= 0 && index < int(LeftList.size())) LeftList[index].ToY = y - 1;
}

void IndentManagerBasic::CloseRight(int index, int y) {
    if (index >= 0 && index < int(RightList.size())) RightList[index].ToY = y - 1;
}

void IndentManagerBasic::Release(int leftIndex, int rightIndex) {
    if (leftIndex >= 0 && leftIndex < int(LeftList.size()) && LeftList[leftIndex].Owner)
        LeftList.erase(LeftList.begin() + leftIndex);
    if (rightIndex >= 0 && rightIndex < int(RightList.size()) && RightList[rightIndex].Owner)
        RightList.erase(RightList.begin() + rightIndex);
}

int IndentManagerBasic::LeftIndent(int y) const {
    int x = 0;
    for (const IndentRec& rec : LeftList)
        if (Applies(rec, y)) x = std::max(x, rec.X);
    return x + LeftEdge;
}

int IndentManagerBasic::RightSide(int y) const {
    int x = INT_MAX;
    for (const IndentRec& rec : RightList)
        if (Applies(rec, y)) x = std::min(x, rec.X);
    return x == INT_MAX ? RightEdge : x + LeftEdge;
}

// Left indents that lie beyond a floating block on the right do not count: the text row starts
// at the widest left indent short of that block. Both sides are compared relative to LeftEdge.
int IndentManagerBasic::LeftEdgeForText(int y) const {
    int limit = INT_MAX;
    for (const IndentRec& rec : RightList)
        if (rec.IsFloat && Applies(rec, y)) limit = std::min(limit, rec.X);
    if (limit == INT_MAX) limit = RightEdge - LeftEdge;
    int x = 0;
    for (const IndentRec& rec : LeftList)
        if (Applies(rec, y) && rec.X < limit) x = std::max(x, rec.X);
    return x + LeftEdge;
}

int IndentManagerBasic::RightEdgeForText(int y) const {
    int floatX = 0;
    for (const IndentRec& rec : LeftList)
        if (rec.IsFloat && Applies(rec, y)) floatX = std::max(floatX, rec.X);
    int x = INT_MAX;
    for (const IndentRec& rec : RightList)
        if (Applies(rec, y) && rec.X > floatX) x = std::min(x, rec.X);
    return x == INT_MAX ? RightEdge : x + LeftEdge;
}

int IndentManagerBasic::LowestFloat() const {
    int lowest = 0;
    for (const auto* list : {&LeftList, &RightList})
        for (const IndentRec& rec : *list)
            if (!rec.Owner) lowest = std::max(lowest, rec.ToY);
    return lowest;
}

void IndentManagerBasic::ClearLevels(int& left, int& right) const {
    auto level = [](const std::vector<IndentRec>& list) {
        int lowest = -1;
        for (const IndentRec& rec : list)
            if (!rec.Owner) lowest = std::max(lowest, rec.ToY);
        return lowest < 0 ? 0 : lowest + 1;
    };
    left = level(LeftList);
    right = level(RightList);
}

int IndentManagerBasic::NextFloatEnd(int y) const {
    int next = INT_MAX;
    for (const auto* list : {&LeftList, &RightList})
        for (const IndentRec& rec : *list)
            if (!rec.Owner && rec.ToY > y) next = std::min(next, rec.ToY);
    return next == INT_MAX ? y : next;
}

void IndentManagerBasic::PlaceFloatImage(int y, TFloatingObj& image) {
    const int total = image.TotalWidth();
    const int bottom = y + image.ObjHeight + image.SpaceTop + image.SpaceBottom;
    if (image.Align == alLeftFloat) {
        const int e = LeftEdgeForText(y);
        image.FloatX = e + image.SpaceLeft - LeftEdge;
        LeftList.push_back({e + total - LeftEdge, y, bottom, nullptr, false});
    } else if (image.Align == alRightFloat) {
        const int e = RightEdgeForText(y);
        image.FloatX = e + image.SpaceLeft - total - LeftEdge;
        RightList.push_back({e - total - LeftEdge, y, bottom, nullptr, false});
    }
}

void IndentManagerBasic::PlaceFloatBlock(int y, int width, int side, int height) {
    if (side == alLeftFloat)
        LeftList.push_back({width - LeftEdge, y, y + height, nullptr, true});
    else if (side == alRightFloat)
        RightList.push_back({RightSide(y) - width - LeftEdge, y, y + height, nullptr, true});
}

}  // namespace kv
