#include "WindowPlacement.h"

#include <algorithm>

namespace tavisk::ui {

namespace {

// The window on one side: as large as the free band allows, lined up with
// the owner's top or left edge as far as the band lets it.
QRect FitInto(const QRect& band, const QSize& wanted, const QPoint& preferred) {
    if (band.width() <= 0 || band.height() <= 0) return {};
    const QSize size = wanted.boundedTo(band.size());
    const int x = std::clamp(preferred.x(), band.left(), band.left() + band.width() - size.width());
    const int y = std::clamp(preferred.y(), band.top(), band.top() + band.height() - size.height());
    return QRect(QPoint(x, y), size);
}

long long Area(const QRect& rect) { return rect.isEmpty() ? 0 : static_cast<long long>(rect.width()) * rect.height(); }

}  // namespace

QRect PlaceBeside(const QRect& owner, const QSize& wanted, const QRect& screen) {
    const int right = owner.left() + owner.width() + kPlacementGap;
    const int bottom = owner.top() + owner.height() + kPlacementGap;
    const int left = owner.left() - kPlacementGap;
    const int top = owner.top() - kPlacementGap;
    const int screenRight = screen.left() + screen.width();
    const int screenBottom = screen.top() + screen.height();
    const QRect candidates[] = {
        FitInto(QRect(QPoint(right, screen.top()), QPoint(screenRight - 1, screenBottom - 1)), wanted, {right, owner.top()}),
        FitInto(QRect(QPoint(screen.left(), bottom), QPoint(screenRight - 1, screenBottom - 1)), wanted, {owner.left(), bottom}),
        FitInto(QRect(QPoint(screen.left(), screen.top()), QPoint(left - 1, screenBottom - 1)), wanted,
                {left - wanted.width(), owner.top()}),
        FitInto(QRect(QPoint(screen.left(), screen.top()), QPoint(screenRight - 1, top - 1)), wanted,
                {owner.left(), top - wanted.height()}),
    };
    QRect best;
    for (const QRect& candidate : candidates)
        if (Area(candidate) > Area(best)) best = candidate;
    if (!best.isEmpty()) return best;
    const QSize size = wanted.boundedTo(screen.size());
    return QRect(QPoint(screenRight - size.width(), screenBottom - size.height()), size);
}

}  // namespace tavisk::ui
