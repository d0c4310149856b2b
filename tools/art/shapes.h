// Shapes as signed distances (negative inside), turned into anti-aliased
// coverage, for the emblems, plaques and the metalwork of the braziers.
#pragma once

#include "tools/art/raster.h"

#include <cmath>
#include <vector>

struct Point {
    float x, y;
};

inline float Length(float x, float y) { return std::sqrt(x * x + y * y); }

inline float SdCircle(float px, float py, float cx, float cy, float radius)
{
    return Length(px - cx, py - cy) - radius;
}

// A box of half sizes (hw, hh) around (cx, cy) with corners rounded by radius.
inline float SdRoundBox(float px, float py, float cx, float cy, float hw, float hh, float radius)
{
    const float qx = std::fabs(px - cx) - hw + radius;
    const float qy = std::fabs(py - cy) - hh + radius;
    const float ox = qx > 0 ? qx : 0, oy = qy > 0 ? qy : 0;
    const float inside = qx > qy ? qx : qy;
    return Length(ox, oy) + (inside < 0 ? inside : 0) - radius;
}

// Distance to a segment, less a half thickness: a stroke with round caps.
inline float SdSegment(float px, float py, Point a, Point b, float halfWidth)
{
    const float bax = b.x - a.x, bay = b.y - a.y;
    float h = ((px - a.x) * bax + (py - a.y) * bay) / (bax * bax + bay * bay);
    h = h < 0 ? 0 : (h > 1 ? 1 : h);
    return Length(px - a.x - bax * h, py - a.y - bay * h) - halfWidth;
}

// A closed polygon, by the even-odd rule.
inline float SdPolygon(float px, float py, const std::vector<Point>& v)
{
    float d = 1e30f;
    bool bInside = false;
    for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
        const float e = SdSegment(px, py, v[j], v[i], 0.0f);
        if (e < d)
            d = e;
        if ((v[i].y > py) != (v[j].y > py) &&
            px < (v[j].x - v[i].x) * (py - v[i].y) / (v[j].y - v[i].y) + v[i].x)
            bInside = !bInside;
    }
    return bInside ? -d : d;
}

// About one pixel of soft edge.
inline float Coverage(float distance) { return Clamp01(0.5f - distance); }
