#include "app/WindowLayouts.h"

namespace {

constexpr int kHeights[] = {380, 260, 230, 115};
constexpr int kEqGroupTops[] = {256, 110};
constexpr int kPlayListTops[] = {120, 256};

} // namespace

WindowLayout LayoutFor(bool ShowPlayList, bool ShowEqualizer) {
    if (ShowPlayList && ShowEqualizer) return {kHeights[0], kEqGroupTops[0], kPlayListTops[0], true};
    if (ShowPlayList) return {kHeights[1], kEqGroupTops[0], kPlayListTops[0], true};
    if (ShowEqualizer) return {kHeights[2], kEqGroupTops[1], kPlayListTops[1], true};
    return {kHeights[3], 0, 0, false};
}
