// Points, sizes and rectangles in pixels. A Rect is half-open: right and
// bottom are one past the last pixel, as the Windows code measured them.
#pragma once

#include <algorithm>

namespace qm::ui {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static constexpr Rect ofSize(int x, int y, int width, int height) {
        return {x, y, x + width, y + height};
    }
    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr Size size() const { return {width(), height()}; }
    constexpr bool isEmpty() const { return right <= left || bottom <= top; }
    constexpr bool contains(Point p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    constexpr Rect offsetBy(int dx, int dy) const {
        return {left + dx, top + dy, right + dx, bottom + dy};
    }
    constexpr Rect inflatedBy(int dx, int dy) const {
        return {left - dx, top - dy, right + dx, bottom + dy};
    }
    // Empty rectangles come out as all zeros, so they compare equal.
    constexpr Rect intersection(const Rect& o) const {
        Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
               std::min(bottom, o.bottom)};
        return r.isEmpty() ? Rect{} : r;
    }
    // The bounding box; an empty side does not count.
    constexpr Rect united(const Rect& o) const {
        if (isEmpty()) return o.isEmpty() ? Rect{} : o;
        if (o.isEmpty()) return *this;
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right),
                std::max(bottom, o.bottom)};
    }
    bool operator==(const Rect&) const = default;
};

}  // namespace qm::ui
