#include "web/page_front.h"

#include "web/page_js.h"

namespace q3 {

void PageFront::announceCaptions(const Stage& stage, double at)
{
    for (const std::string& text : captions_.update(captionsOnScreen(stage), at).came)
        q3js_caption(text.c_str());
}

} // namespace q3
