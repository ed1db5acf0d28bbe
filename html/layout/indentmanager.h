#pragma once
// Where text may start and end on a row of a cell: the cell's edges, the margins of enclosing
// blocks and the floats that text flows around. Every cell owns one; records accumulate in
// document order during a layout and stay until the next one, so painting and hit tests see
// the same geometry.

#include <vector>

#include "html/layout/layouttypes.h"

namespace kv {

class TFloatingObj;

// One indent or float. X is relative to the manager's LeftEdge: for a left record where text may
// begin, for a right record where it must end. It covers FromY <= y < ToY.
struct IndentRec {
    int X = 0;
    int FromY = 0;
    int ToY = kOpenEnd;
    const void* Owner = nullptr;  // the cell or block that made it; nullptr for floats
    bool IsFloat = false;         // a floating block
};

class IndentManagerBasic {
public:
    void ClearAll();
    void SetEdges(int left, int right);

    int AddLeft(int x, int y);
    int AddRight(int x, int y);
    void CloseLeft(int index, int y);
    void CloseRight(int index, int y);
    // Drops the closed records of a block whose layout is over: they apply only while their
    // owner lays out, and keeping them makes every later edge query scan them all. Records
    // after them (floats, finished inner blocks) carry no index anyone holds.
    void Release(int leftIndex, int rightIndex);

    int LeftIndent(int y) const;
    int RightSide(int y) const;
    int LeftEdgeForText(int y) const;
    int RightEdgeForText(int y) const;

    int LowestFloat() const;
    void ClearLevels(int& left, int& right) const;
    int NextFloatEnd(int y) const;

    // Places a left (5) or right (6) floating image at y and sets its FloatX; other alignments
    // are ignored.
    void PlaceFloatImage(int y, TFloatingObj& image);
    void PlaceFloatBlock(int y, int width, int side, int height);

    int Width = 0;
    int ClipWidth = 0;
    std::vector<IndentRec> LeftList;
    std::vector<IndentRec> RightList;
    const void* CurrentOwner = nullptr;
    int LeftEdge = 0;
    int RightEdge = 0;

private:
    bool Applies(const IndentRec& rec, int y) const {
        return (rec.Owner == nullptr || rec.Owner == CurrentOwner) && rec.FromY <= y && y < rec.ToY;
    }
};

class IndentManager : public IndentManagerBasic {};

// Makes `owner` the current owner for a scope and restores the previous one.
class TIndentOwnerScope {
public:
    TIndentOwnerScope(IndentManagerBasic& indents, const void* owner)
        : indents_(indents), previous_(indents.CurrentOwner) {
        indents.CurrentOwner = owner;
    }
    ~TIndentOwnerScope() { indents_.CurrentOwner = previous_; }
    TIndentOwnerScope(const TIndentOwnerScope&) = delete;
    TIndentOwnerScope& operator=(const TIndentOwnerScope&) = delete;

private:
    IndentManagerBasic& indents_;
    const void* previous_;
};

}  // namespace kv
