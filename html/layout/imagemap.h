#pragma once
// Client-side image maps: the areas of one map element, each a region of the image with a link.

#include <QPolygonF>
#include <QRect>
#include <string>
#include <vector>

#include "html/layout/layouttypes.h"

namespace kv {

class TMapItem {
public:
    // The region of an area in image pixels. Containment is computed from the shape, so a
    // huge circle costs no memory.
    struct TRegion {
        enum Kind { rkRect, rkCircle, rkPolygon } kind = rkRect;
        QRect rect;  // rectangle, or the circle's centre (x, y) and radius (width)
        QPolygonF polygon;
        bool Contains(int x, int y) const;
    };
    struct Area {
        std::string Url;  // empty: the area has no link
        std::string Frame;
        TRegion Region;
    };

    // Reads HREF, SHAPE, COORDS, NOHREF and TARGET in their order and appends the area, unless
    // its region cannot be built (too few coordinates).
    void AddArea(const TLayoutAttrs& attributes);
    // The link of the first area under (x, y) (image coordinates). False when that area has no
    // link or no area is there.
    bool AreaAt(int x, int y, std::string& url, std::string& frame) const;
    int AreaCount() const { return int(areas_.size()); }
    const Area& AreaItem(int index) const { return areas_[index]; }

    std::string MapKey;  // upper case

private:
    std::vector<Area> areas_;
};

// The numbers of a COORDS text (at most 301).
std::vector<int> ParseCoords(std::string_view coords);
// The map name an image's USEMAP value refers to: upper-cased, trimmed of blanks and control
// characters, one leading '#' removed when the name is longer than one character.
std::string MapKeyOf(std::string_view usemap);

}  // namespace kv
