#pragma once

#include "core/rgb.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <unordered_map>
#include <vector>

namespace q3 {

// A shape as it was drawn: a line, or a box or circle with the fill colour in force at the time.
struct Shape
{
    enum class Kind : std::uint8_t
    {
        Line,
        Box,
        Circle,
    };

    Kind kind = Kind::Line;
    // Line and box: from (x1, y1) to (x2, y2) as given. Circle: see centreX, centreY, radius.
    std::int16_t x1 = 0;
    std::int16_t y1 = 0;
    std::int16_t x2 = 0;
    std::int16_t y2 = 0;
    Rgb outline;
    Rgb fill;

    [[nodiscard]] std::int16_t centreX() const { return x1; }
    [[nodiscard]] std::int16_t centreY() const { return y1; }
    [[nodiscard]] std::int16_t radius() const { return x2; }

    // Two shapes with the same kind, geometry and outline cover the same pixels: the later one
    // hides the earlier completely.
    [[nodiscard]] bool sameFootprint(const Shape& other) const
    {
        return kind == other.kind && x1 == other.x1 && y1 == other.y1 && x2 == other.x2 &&
               y2 == other.y2 && outline == other.outline;
    }
};

// The drawing on the surface since it was last erased, in painting order, kept so that it can
// be painted again at any resolution. Every shape gets a sequence number that grows with each
// one drawn, so a painter can paint just what came after the last shape it painted.
//
// A shape that repeats the footprint of a kept one replaces it (the old one is completely
// covered), so the list stays bounded while the lamps and bulbs are repainted for hours.
class DisplayList
{
public:
    struct Entry
    {
        std::uint64_t seq = 0;
        Shape shape;
        bool live = true;
        // It took the place of an earlier shape with the same footprint.
        bool replacing = false;
    };

    void erase(Rgb background);
    void add(const Shape& shape);

    [[nodiscard]] Rgb background() const { return background_; }
    // Changes whenever the surface is erased; a painter that saw another value starts over.
    [[nodiscard]] std::uint64_t eraseCount() const { return eraseCount_; }
    [[nodiscard]] std::uint64_t lastSeq() const { return nextSeq_ - 1; }
    [[nodiscard]] std::size_t liveCount() const { return entries_.size() - dead_; }
    [[nodiscard]] std::size_t storedCount() const { return entries_.size(); }

    // Calls paint(shape) for each live shape drawn after `seq`, oldest first.
    template <typename Painter> void forEachAfter(std::uint64_t seq, Painter&& paint) const
    {
        forEachEntryAfter(seq, [&](const Entry& entry) { paint(entry.shape); });
    }
    // The same, with the whole entry.
    template <typename Visit> void forEachEntryAfter(std::uint64_t seq, Visit&& visit) const
    {
        auto it = entries_.end();
        while (it != entries_.begin() && std::prev(it)->seq > seq)
            --it;
        for (; it != entries_.end(); ++it)
            if (it->live)
                visit(*it);
    }

private:
    struct KeyHash
    {
        std::size_t operator()(const Shape& s) const;
    };
    struct KeyEqual
    {
        bool operator()(const Shape& x, const Shape& y) const { return x.sameFootprint(y); }
    };

    void compact();

    std::vector<Entry> entries_;
    std::unordered_map<Shape, std::size_t, KeyHash, KeyEqual> index_;
    std::size_t dead_ = 0;
    std::uint64_t nextSeq_ = 1;
    std::uint64_t eraseCount_ = 0;
    Rgb background_ = kWhite;
};

} // namespace q3
