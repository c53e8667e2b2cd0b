#pragma once
// The arithmetic of the resize anchors, kept apart from any window so it can
// be checked on its own: how far a control moves or grows when its dialog's
// client area changes size.
namespace tavisk::ui {

inline constexpr unsigned LAYOUT_MOVE_X = 1;  // left and right move by dx
inline constexpr unsigned LAYOUT_MOVE_Y = 2;  // top and bottom move by dy
inline constexpr unsigned LAYOUT_SIZE_X = 4;  // right moves by dx
inline constexpr unsigned LAYOUT_SIZE_Y = 8;  // bottom moves by dy

struct AnchorRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool operator==(const AnchorRect&) const = default;
};

// The change of one dimension since the last layout.  A size below the design
// size counts as the design size, so controls never shrink below their design.
int AnchorDelta(int current, int last, int design);

// Applies every flag set in `flags`; the effects add up, so LAYOUT_SIZE_Y
// together with LAYOUT_MOVE_Y moves the bottom by twice dy.
AnchorRect ApplyAnchor(AnchorRect rect, unsigned flags, int dx, int dy);

}  // namespace tavisk::ui
