#include "web/page_canvas.h"

#include "web/page_js.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <string_view>

namespace q3 {
namespace {

std::uint32_t argb(Rgb c)
{
    return 0xff000000u | (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

int rgbOf(Rgb c)
{
    return (c.r << 16) | (c.g << 8) | c.b;
}

// INTERIM: the surface's painter until the shared raster library is in.
struct Painter
{
    std::vector<std::uint32_t>& pixels;
    int width;
    int height;
    double scale;

    [[nodiscard]] int at(double units) const
    {
        return static_cast<int>(std::floor(units * scale + 0.5 + 1e-9));
    }
    [[nodiscard]] int lineWidth() const
    {
        return std::max(1, static_cast<int>(std::lround(scale * kUnitsPerPixel)));
    }
    void fill(int x0, int y0, int x1, int y1, std::uint32_t c) const
    {
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        x1 = std::min(x1, width - 1);
        y1 = std::min(y1, height - 1);
        for (int y = y0; y <= y1; ++y)
            std::fill(pixels.begin() + y * width + x0, pixels.begin() + y * width + x1 + 1, c);
    }
    void shape(const Shape& s) const
    {
        const int lw = lineWidth();
        if (s.kind == Shape::Kind::Box) {
            const int x0 = at(std::min(s.x1, s.x2));
            const int x1 = at(std::max(s.x1, s.x2));
            const int y0 = at(std::min(s.y1, s.y2));
            const int y1 = at(std::max(s.y1, s.y2));
            fill(x0, y0, x1 + lw - 1, y1 + lw - 1, argb(s.outline));
            fill(x0 + lw, y0 + lw, x1 - 1, y1 - 1, argb(s.fill));
            return;
        }
        if (s.kind == Shape::Kind::Line) {
            const int x0 = at(s.x1);
            const int y0 = at(s.y1);
            const int x1 = at(s.x2);
            const int y1 = at(s.y2);
            const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
            for (int i = 0; i < steps; ++i) {
                const int x = x0 + static_cast<int>(std::lround(double(x1 - x0) * i / steps));
                const int y = y0 + static_cast<int>(std::lround(double(y1 - y0) * i / steps));
                fill(x, y, x + lw - 1, y + lw - 1, argb(s.outline));
            }
            return;
        }
        const double cx = s.centreX() * scale;
        const double cy = s.centreY() * scale;
        const double r = s.radius() * scale;
        for (int y = at(s.centreY() - s.radius()); y <= at(s.centreY() + s.radius()); ++y) {
            const double dy = y + 0.5 - cy;
            if (std::abs(dy) > r)
                continue;
            const double dx = std::sqrt(r * r - dy * dy);
            const int a = static_cast<int>(std::lround(cx - dx));
            const int b = static_cast<int>(std::lround(cx + dx)) - 1;
            fill(a, y, b, y, argb(s.outline));
            if (b - a > 2 * lw)
                fill(a + lw, y, b - lw, y, argb(s.fill));
        }
    }
};

// INTERIM: the faces of the design and the free fonts of the page, until the shared layout is in.
struct Face
{
    std::string_view face;
    std::string_view family;
};
constexpr std::array<Face, 6> kFaces{{
    {"Impact", "Roboto Condensed"},
    {"Comic Sans MS", "Comic Neue"},
    {"Arial", "Liberation Sans"},
    {"Lucida Console", "DejaVu Sans Mono"},
    {"Verdana", "DejaVu Sans"},
    {"Garamond", "EB Garamond"},
}};

std::string cssFont(const DesignFont& font, double pixels)
{
    std::string family = "sans-serif";
    for (const Face& face : kFaces)
        if (face.face == font.face)
            family = "\"" + std::string(face.family) + "\"";
    std::string css = font.italic ? "italic " : "";
    css += font.bold ? "bold " : "";
    css += std::to_string(pixels) + "px " + family;
    return css;
}

} // namespace

PixelRect PixelRect::operator&(const PixelRect& o) const
{
    const int left = std::max(x, o.x);
    const int top = std::max(y, o.y);
    const int right = std::min(x + w, o.x + o.w);
    const int bottom = std::min(y + h, o.y + o.h);
    return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

PixelRect PixelRect::united(const PixelRect& o) const
{
    if (empty())
        return o;
    if (o.empty())
        return *this;
    const int left = std::min(x, o.x);
    const int top = std::min(y, o.y);
    return {left, top, std::max(x + w, o.x + o.w) - left, std::max(y + h, o.y + o.h) - top};
}

PageView PageView::fit(int surfaceWidth, int surfaceHeight, int width, int height)
{
    PageView view;
    const int w = std::max(1, surfaceWidth);
    const int h = std::max(1, surfaceHeight);
    view.scale = std::min(width / double(w), height / double(h));
    const int pw = std::clamp(static_cast<int>(std::lround(w * view.scale)), 1, std::max(1, width));
    const int ph =
        std::clamp(static_cast<int>(std::lround(h * view.scale)), 1, std::max(1, height));
    view.surface = {(width - pw) / 2, (height - ph) / 2, pw, ph};
    return view;
}

void PageCanvas::setSmooth(bool smooth)
{
    smooth_ = smooth;
    everything_ = true;
    stageId_ = 0;
}

void PageCanvas::setOutput(int width, int height)
{
    width_ = std::max(1, width);
    height_ = std::max(1, height);
    everything_ = true;
}

PageView PageCanvas::view(const Stage& stage) const
{
    return PageView::fit(stage.surfaceWidth(), stage.surfaceHeight(), width_, height_);
}

PixelRect PageCanvas::updateSurface(const Stage& stage, const PageView& view)
{
    const DisplayList& list = stage.displayList();
    const PixelRect size{0, 0, view.surface.w, view.surface.h};
    const bool restart = stageId_ != stage.id() || surfaceRect_.w != size.w ||
                         surfaceRect_.h != size.h || scale_ != view.scale ||
                         eraseCount_ != list.eraseCount();
    if (!restart && paintedSeq_ == list.lastSeq())
        return {};
    if (restart) {
        pixels_.assign(static_cast<std::size_t>(size.w) * size.h, argb(list.background()));
        surfaceRect_ = size;
        scale_ = view.scale;
        stageId_ = stage.id();
        eraseCount_ = list.eraseCount();
        paintedSeq_ = 0;
    }
    const Painter painter{pixels_, size.w, size.h, view.scale};
    list.forEachAfter(paintedSeq_, [&](const Shape& shape) { painter.shape(shape); });
    paintedSeq_ = list.lastSeq();
    return view.surface;
}

PixelRect PageCanvas::paint(const Stage& stage)
{
    const PageView view = this->view(stage);
    PixelRect changed = updateSurface(stage, view);
    if (lookVersion_ != stage.lookVersion())
        changed = view.surface;
    lookVersion_ = stage.lookVersion();
    if (everything_)
        changed = {0, 0, width_, height_};
    everything_ = false;
    if (!changed.empty())
        compose(stage, view, changed);
    return changed;
}

void PageCanvas::paintArea(const Stage& stage, const PixelRect& area)
{
    const PageView view = this->view(stage);
    updateSurface(stage, view);
    compose(stage, view, area);
}

void PageCanvas::blit(const PageView& view, const PixelRect& area)
{
    const PixelRect part = area & view.surface;
    if (part.empty())
        return;
    staging_.resize(static_cast<std::size_t>(part.w) * part.h * 4);
    std::uint8_t* out = staging_.data();
    for (int y = 0; y < part.h; ++y) {
        const std::uint32_t* row =
            pixels_.data() +
            static_cast<std::size_t>(part.y - view.surface.y + y) * surfaceRect_.w +
            (part.x - view.surface.x);
        for (int x = 0; x < part.w; ++x) {
            const std::uint32_t p = row[x];
            *out++ = static_cast<std::uint8_t>(p >> 16);
            *out++ = static_cast<std::uint8_t>(p >> 8);
            *out++ = static_cast<std::uint8_t>(p);
            *out++ = 255;
        }
    }
    q3js_blit(staging_.data(), part.x, part.y, part.w, part.h);
}

void PageCanvas::compose(const Stage& stage, const PageView& view, const PixelRect& area)
{
    q3js_clip(area.x, area.y, area.w, area.h);
    // The bars beside the surface.
    q3js_fill(area.x, area.y, area.w, area.h, 0, 255);
    blit(view, area);
    // Back to front: the control listed first in the table is painted last.
    const Painter grid{pixels_, 0, 0, view.scale};
    for (std::size_t i = kControlCount; i-- > 0;) {
        const Control control = controlAt(i);
        const ControlState& state = stage.control(control);
        if (!state.visible)
            continue;
        const ControlDesign& row = designOf(control);
        const int left = grid.at(row.rect.left);
        const int top = grid.at(row.rect.top);
        const PixelRect rect{view.surface.x + left, view.surface.y + top,
                             grid.at(row.rect.left + row.rect.width) - left,
                             grid.at(row.rect.top + row.rect.height) - top};
        if ((rect & area & view.surface).empty())
            continue;
        if (row.kind == ControlKind::Picture) {
            q3js_picture(control == Control::imgDuck ? 0 : 1, rect.x, rect.y, rect.w, rect.h,
                         smooth_ ? 1 : 0);
            continue;
        }
        paintLabel(control, state, rect, view.scale);
    }
    q3js_unclip();
}

void PageCanvas::paintLabel(Control control, const ControlState& state, const PixelRect& rect,
                            double scale)
{
    const ControlDesign& row = designOf(control);
    q3js_clip(rect.x, rect.y, rect.w, rect.h);
    q3js_fill(rect.x, rect.y, rect.w, rect.h, rgbOf(state.backColor), 255);
    // INTERIM: words wrapped greedily until the shared caption layout is in.
    const double units = std::round(state.pointSize * kUnitsPerPoint);
    const std::string font = cssFont(row.font, units * scale);
    const std::string measureFont = cssFont(row.font, units);
    const double lineHeight = q3js_line_height(measureFont.c_str());
    const double ascent = q3js_ascent(measureFont.c_str());
    std::vector<std::string> lines;
    std::string line;
    std::size_t i = 0;
    const std::string& text = state.caption;
    while (i <= text.size()) {
        std::size_t end = text.find(' ', i);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(i, end - i);
        const std::string tried = line.empty() ? word : line + " " + word;
        if (!line.empty() && q3js_measure(measureFont.c_str(), tried.c_str()) > row.rect.width) {
            lines.push_back(line);
            line = word;
        } else {
            line = tried;
        }
        i = end + 1;
    }
    lines.push_back(line);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const double width = q3js_measure(measureFont.c_str(), lines[n].c_str());
        const double x = row.align == Align::Left ? 0 : (row.rect.width - width) / 2;
        q3js_text(font.c_str(), rgbOf(row.textColor), rect.x + x * scale,
                  rect.y + (lineHeight * double(n) + ascent) * scale, lines[n].c_str());
    }
    q3js_unclip();
}

} // namespace q3
