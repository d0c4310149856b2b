// Any point, installed flag and set of disabled buttons, on the launcher's own
// button rectangles or on rectangles taken from the input, and any screen size
// for the window's placement.
//
// Input: x, y (4 bytes each), a flag byte (bit 0 installed, bit 1 rectangles
// from the input), the disabled flags of ids 1 to 12 (2 bytes, one bit each),
// then for ids 0 to 12 four 4-byte edges; missing bytes read as zero.
#include "frame/layout.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

void Require(bool bCondition, const char* pszWhat)
{
    if (!bCondition) {
        std::fprintf(stderr, "broken: %s\n", pszWhat);
        std::abort();
    }
}

class CInput {
public:
    CInput(const uint8_t* pData, size_t cbData) : m_pData(pData), m_cbData(cbData) {}
    template <typename T> T Take()
    {
        T value{};
        const size_t cb = m_cbData - m_nOffset < sizeof value ? m_cbData - m_nOffset : sizeof value;
        std::memcpy(&value, m_pData + m_nOffset, cb);
        m_nOffset += cb;
        return value;
    }

private:
    const uint8_t* m_pData;
    size_t m_cbData;
    size_t m_nOffset = 0;
};

bool StrictlyInside(const LayoutRect& rc, int32_t x, int32_t y)
{
    return rc.left < x && x < rc.right && rc.top < y && y < rc.bottom;
}

// The same rule read the other way round: the last listed button that holds
// the point decides, whether it is enabled or not.
int LastHolder(const LayoutRect (&rects)[kButtonCount + 1], const int32_t (&disabled)[kButtonCount + 1],
               bool installed, int32_t x, int32_t y)
{
    static const int s_tail[] = {9, 12, 11, 7, 6, 4, 3, 2};
    for (int id : s_tail) {
        if (StrictlyInside(rects[id], x, y))
            return disabled[id] ? 0 : id;
    }
    for (int id : installed ? std::initializer_list<int>{10, 8} : std::initializer_list<int>{1}) {
        if (StrictlyInside(rects[id], x, y))
            return disabled[id] ? 0 : id;
    }
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    CInput input(pData, cbData);
    const int32_t x = input.Take<int32_t>();
    const int32_t y = input.Take<int32_t>();
    const uint8_t nFlags = input.Take<uint8_t>();
    const uint16_t nDisabledBits = input.Take<uint16_t>();
    const bool installed = (nFlags & 1) != 0;

    LayoutRect rects[kButtonCount + 1];
    int32_t disabled[kButtonCount + 1] = {};
    for (int id = 0; id <= kButtonCount; ++id) {
        rects[id] = ButtonRect(id);
        if (id >= 1)
            disabled[id] = (nDisabledBits >> (id - 1)) & 1;
    }
    if (nFlags & 2) {
        for (LayoutRect& rc : rects) {
            rc.left = input.Take<int32_t>();
            rc.top = input.Take<int32_t>();
            rc.right = input.Take<int32_t>();
            rc.bottom = input.Take<int32_t>();
        }
    }

    const int hit = HitTestButtons(rects, disabled, installed, x, y);
    Require(hit == LastHolder(rects, disabled, installed, x, y), "hit test order and rule");
    Require(hit != 5, "slot 5 is never tested");
    if (hit != 0)
        Require(StrictlyInside(rects[hit], x, y) && !disabled[hit], "an enabled button holding the point");

    // The window is always the client size, however odd the screen.
    const LayoutRect rcWindow = CenteredWindowRect(x, y);
    Require(rcWindow.right - rcWindow.left == kClientWidth &&
                rcWindow.bottom - rcWindow.top == kClientHeight,
            "window size");
    return 0;
}
