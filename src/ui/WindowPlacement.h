#pragma once
// Where a second window opens beside its owner: never over it, always on the
// screen, at its wanted size when there is room and smaller when not.
#include <QRect>
#include <QSize>

namespace tavisk::ui {

// Gap between the owner's frame and the placed window's.
inline constexpr int kPlacementGap = 4;

// The frame of a window of `wanted` frame size placed beside `owner` within
// `screen`: right of it, below it, left of it or above it, whichever side
// leaves the largest window (the first of them on a tie).  When no side has
// any room, it lies at the screen's bottom right corner at its wanted size,
// clipped to the screen.
QRect PlaceBeside(const QRect& owner, const QSize& wanted, const QRect& screen);

}  // namespace tavisk::ui
