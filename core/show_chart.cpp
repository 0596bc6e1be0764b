#include "core/show_chart.h"

#include "core/player.h"

#include <algorithm>
#include <ostream>
#include <tuple>
#include <utility>

namespace q3 {
namespace {

// What the viewer sees of the stage: when this changes, so has the picture.
auto pictureOf(const Stage& stage)
{
    const DisplayList& list = stage.displayList();
    return std::tuple(list.eraseCount(), list.lastSeq(), stage.lookVersion());
}

// Follows a chart's run: the cues and the moments the picture changed. The run is never sent
// elsewhere, so the scheduler and the show it was made with stay its own to the end.
class Charting final : public PlayerOutput
{
public:
    Charting(ShowChart& chart, int cueTotal) : chart_(chart), cueTotal_(cueTotal) {}

    // The run's show, as the player makes it.
    [[nodiscard]] ShowFactory following(const ShowFactory& show)
    {
        ShowFactory made = show;
        made.make = [this, make = show.make](Scheduler& scheduler, StageHost& host) {
            std::unique_ptr<ShowProgram> program = make(scheduler, host);
            scheduler_ = &scheduler;
            // The program is handed to the player, which keeps it for the whole run.
            // cppcheck-suppress danglingLifetime
            show_ = program.get();
            return program;
        };
        return made;
    }

    void frameDue(FrameDue when) override
    {
        if (when != FrameDue::Soon)
            return;
        const double now = scheduler_->now();
        // A cue is where its tick fell due; a seek there lands where its handler ended.
        if (const int cues = std::min(show_->cueCount().value(), cueTotal_);
            cues > static_cast<int>(chart_.cues.size()))
            chart_.cues.resize(static_cast<std::size_t>(cues), scheduler_->lastDue(Timer::tmrTime));
        if (const auto picture = pictureOf(show_->stage()); picture != seen_) {
            seen_ = picture;
            if (chart_.changes.empty() || chart_.changes.back() != now)
                chart_.changes.push_back(now);
        }
    }

private:
    ShowChart& chart_;
    int cueTotal_;
    const Scheduler* scheduler_ = nullptr;
    const ShowProgram* show_ = nullptr;
    decltype(pictureOf(std::declval<const Stage&>())) seen_{};
};

} // namespace

ShowChart chartShow(const ShowFactory& show, const std::function<void(Player& probe)>& plan)
{
    ShowChart chart;
    static std::ostream silent(nullptr);
    Charting charting(chart, show.cueTotal);
    Player probe(TimeSource::Virtual, charting.following(show), silent, charting);
    plan(probe);
    chart.end = *probe.runToEnd();
    return chart;
}

} // namespace q3
