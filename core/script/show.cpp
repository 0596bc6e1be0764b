#include "core/script/show.h"

#include "core/script/cues.h"

#include <memory>

namespace q3 {

Show::Show(Scheduler& scheduler, StageHost& host, std::uint32_t seed)
    : scheduler_(scheduler), host_(host), stage_(scheduler, host), seed_(seed)
{}

ShowFactory makeQuilletShow(std::uint32_t seed)
{
    return {.cueTotal = kCueTotal,
            .usualLastCueMs = usualCueTime(kCueTotal - 1),
            .make = [seed](Scheduler& scheduler, StageHost& host) -> std::unique_ptr<ShowProgram> {
                return std::make_unique<Show>(scheduler, host, seed);
            }};
}

template <typename Body>
void Show::runHandler(std::string_view handler, double eventTime, Body&& body)
{
    scheduler_.beginHandler(eventTime);
    try {
        body();
    } catch (const StageError& error) {
        // The show keeps running: the window stays with what the handler had done. The host
        // reports the error on the error stream.
        Event event{.kind = EventKind::Error, .text = error.what()};
        event.handler = std::string(handler);
        stage_.report(event);
        host_.handlerFailed(handler, error.what());
    }
    scheduler_.endHandler();
}

void Show::load()
{
    stage_.report({.kind = EventKind::Load});
    runHandler("load", scheduler_.now(), [this] {
        CueCount_ = 0;
        stage_.hide(Control::lblShirt);
        stage_.hide(Control::lblTalk);
        stage_.hide(Control::lblContinue);
        stage_.hide(Control::lblBanner);
        stage_.hide(Control::lblScreen);
        stage_.show(Control::lblOpening);
        stage_.hide(Control::lblTitle);
        stage_.hide(Control::lblZ);
        stage_.hide(Control::lblStarring);
        stage_.hide(Control::lblCountDown);
        stage_.hide(Control::lblCountDown2);
        stage_.hide(Control::lblTheEnd);
        stage_.hide(Control::imgDuck);
        stage_.hide(Control::imgDuck2);
        stage_.seedRandom(seed_);
        fillPositionTables(effects_);
    });
}

void Show::click()
{
    stage_.report({.kind = EventKind::Click});
    runHandler("click", scheduler_.now(), [this] { stage_.setPeriod(Timer::tmrTime, kCuePaceMs); });
}

bool Show::clickAt(double x, double y)
{
    if (stage_.controlAt(x, y))
        return false;
    click();
    return true;
}

void Show::tick(Timer timer)
{
    Event marker{.kind = EventKind::Tick, .timer = timer};
    if (timer == Timer::tmrTime)
        marker.cue = CueCount_.value();
    stage_.report(marker);
    runHandler(name(timer), scheduler_.lastDue(timer), [this, timer] {
        switch (timer) {
        case Timer::tmrTime:
            cueTick();
            break;
        case Timer::tmrTime2:
            rainTick(stage_);
            break;
        case Timer::tmrSL:
            bulbTick(stage_, effects_);
            break;
        case Timer::tmrBL:
            lampTick(stage_, effects_);
            break;
        }
    });
}

void Show::cueTick()
{
    // The counter is stored before the cue runs, so a cue that fails is never run again.
    const Int16 next = CueCount_ + 1;
    CueCount_ = next;
    runCue(stage_, next.value() - 1);
}

} // namespace q3
