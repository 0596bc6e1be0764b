#include "core/display_list.h"

#include <iterator>

namespace q3 {

std::size_t DisplayList::KeyHash::operator()(const Shape& s) const
{
    std::uint64_t h = static_cast<std::uint64_t>(s.kind);
    for (const std::int16_t v : {s.x1, s.y1, s.x2, s.y2})
        h = h * 0x100000001b3ULL ^ static_cast<std::uint16_t>(v);
    h = h * 0x100000001b3ULL ^
        (std::uint64_t{s.outline.r} << 16 | std::uint64_t{s.outline.g} << 8 | s.outline.b);
    return static_cast<std::size_t>(h ^ (h >> 29));
}

void DisplayList::erase(Rgb background)
{
    background_ = background;
    entries_.clear();
    index_.clear();
    dead_ = 0;
    ++eraseCount_;
}

void DisplayList::add(const Shape& shape)
{
    const auto [it, inserted] = index_.try_emplace(shape, entries_.size());
    if (!inserted) {
        entries_[it->second].live = false;
        ++dead_;
        it->second = entries_.size();
    }
    entries_.push_back({nextSeq_++, shape, true, !inserted});
    if (dead_ > 64 && dead_ > entries_.size() / 2)
        compact();
}

void DisplayList::compact()
{
    std::vector<Entry> kept;
    kept.reserve(entries_.size() - dead_);
    for (const Entry& entry : entries_) {
        if (!entry.live)
            continue;
        index_[entry.shape] = kept.size();
        kept.push_back(entry);
    }
    entries_ = std::move(kept);
    dead_ = 0;
}

} // namespace q3
