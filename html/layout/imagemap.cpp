#include "html/layout/imagemap.h"

#include <algorithm>
#include <charconv>

#include "platform/codec.h"

namespace kv {

int AttrNumber(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() &&
           (value[i] == ' ' || value[i] == '\t' || value[i] == '\n' || value[i] == '\r'))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
    long long n = 0;
    bool any = false;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        any = true;
        if (n < 99999999) n = n * 10 + (value[i] - '0');
    }
    if (!any) return 0;
    n = std::min<long long>(n, 99999999);
    return int(negative ? -n : n);
}

namespace {

// A whole decimal number or 0.
int WholeNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return 0;
    return value;
}

}  // namespace

std::vector<int> ParseCoords(std::string_view coords) {
    std::vector<int> numbers;
    std::string_view rest = TrimView(coords);
    while (!rest.empty() && numbers.size() < 301) {
        const std::size_t end = std::min(rest.find(','), rest.find(' '));
        std::string_view number = rest.substr(0, std::min(end, rest.size()));
        numbers.push_back(WholeNumber(number.substr(0, 20)));
        rest.remove_prefix(number.size());
        while (!rest.empty() && (rest.front() == ',' || rest.front() == ' ')) rest.remove_prefix(1);
    }
    return numbers;
}

std::string MapKeyOf(std::string_view usemap) {
    std::string key = text::upperText(TrimView(usemap));
    if (key.size() > 1 && key.front() == '#') key.erase(0, 1);
    return key;
}

bool TMapItem::TRegion::Contains(int x, int y) const {
    switch (kind) {
    case rkRect: return rect.contains(x, y);
    case rkCircle: {
        // The ellipse inscribed in the box (x - r, y - r) .. (x + r + 1, y + r + 1), tested
        // at pixel centres.
        const double dx = x - double(rect.x()), dy = y - double(rect.y());
        const double r = rect.width() + 0.5;
        return dx * dx + dy * dy <= r * r;
    }
    case rkPolygon: return polygon.containsPoint(QPointF(x + 0.5, y + 0.5), Qt::WindingFill);
    }
    return false;
}

void TMapItem::AddArea(const TLayoutAttrs& attributes) {
    Area area;
    std::string shape, coords;
    for (const TLayoutAttr& attr : attributes) {
        if (attr.Symbol == atHREF)
            area.Url = attr.Value;
        else if (attr.Symbol == atSHAPE)
            shape = text::lowerText(attr.Value).substr(0, 4);
        else if (attr.Symbol == atCOORDS)
            coords = attr.Value;
        else if (attr.Symbol == atNOHREF)
            area.Url.clear();
        else if (attr.Symbol == atTARGET)
            area.Frame = attr.Value;
    }
    const std::vector<int> n = ParseCoords(coords);
    if (shape == "circ") {
        if (n.size() < 3) return;
        area.Region.kind = TRegion::rkCircle;
        area.Region.rect = QRect(n[0], n[1], std::max(0, n[2]), 0);
    } else if (shape == "poly") {
        if (n.size() < 6) return;
        area.Region.kind = TRegion::rkPolygon;
        for (std::size_t i = 0; i + 1 < n.size(); i += 2)
            area.Region.polygon << QPointF(n[i], n[i + 1]);
    } else {
        if (n.size() < 4) return;
        area.Region.rect = QRect(QPoint(n[0], n[1]), QPoint(n[2], n[3])).normalized();
    }
    areas_.push_back(std::move(area));
}

bool TMapItem::AreaAt(int x, int y, std::string& url, std::string& frame) const {
    for (const Area& area : areas_) {
        if (!area.Region.Contains(x, y)) continue;
        if (area.Url.empty()) return false;
        url = area.Url;
        frame = area.Frame;
        return true;
    }
    return false;
}

}  // namespace kv
