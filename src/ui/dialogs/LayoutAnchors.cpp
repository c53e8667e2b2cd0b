#include "LayoutAnchors.h"

#include <algorithm>

namespace tavisk::ui {

int AnchorDelta(int current, int last, int design) { return std::max(current, design) - std::max(last, design); }

AnchorRect ApplyAnchor(AnchorRect rect, unsigned flags, int dx, int dy) {
    if (flags & LAYOUT_SIZE_Y) rect.bottom += dy;
    if (flags & LAYOUT_SIZE_X) rect.right += dx;
    if (flags & LAYOUT_MOVE_Y) {
        rect.top += dy;
        rect.bottom += dy;
    }
    if (flags & LAYOUT_MOVE_X) {
        rect.left += dx;
        rect.right += dx;
    }
    return rect;
}

}  // namespace tavisk::ui
