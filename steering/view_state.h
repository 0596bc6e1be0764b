#pragma once
// What the viewer has set on the show, whatever the front: its speed, the quality it is painted
// in, its looping and its pause, and the words they are named in: the window's and the page's
// title, and the page's brief notice of a change.

#include "raster/quality.h"

#include <string>

namespace q3 {

struct ViewState
{
    double speed = 1;
    Quality quality = Quality::Crisp;
    bool loop = false;
    bool paused = false;

    bool operator==(const ViewState&) const = default;
};

// The title: the window's caption, naming what differs from a show as it starts by default (the
// speed while it is not 1×, the quality while it is not crisp, the loop and the pause):
// "Quillet 3 (2×, smooth, looping, paused)".
[[nodiscard]] std::string captionText(const ViewState& state);

// What changed from `before` to `after`, as the viewer is told of it: the speed ("2×", "1×"),
// the quality ("smooth", "crisp"), the loop ("looping", "loop off") and the pause ("paused",
// "playing"), in that order, joined by ", "; empty when nothing did.
[[nodiscard]] std::string changeText(const ViewState& before, const ViewState& after);

} // namespace q3
