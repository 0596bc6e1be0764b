#include "core/player.h"

#include "core/script/cues.h"

#include <algorithm>
#include <limits>

namespace q3 {
namespace {

constexpr double kAfterLastCueMs = 5000;
constexpr double kLongestShowMs = 48.0 * 3600 * 1000;
constexpr double kPauseMs = 100;
// Where the show ends when the window is clicked once, at 0 ms.
constexpr double kUsualEndMs = 89000;

std::unique_ptr<Clock> clockFor(Timeline timeline)
{
    if (timeline == Timeline::Virtual)
        return std::make_unique<VirtualClock>();
    return std::make_unique<RealClock>();
}

} // namespace

PlayerOutput& noOutput()
{
    static PlayerOutput none;
    return none;
}

Player::Player(Timeline timeline, std::uint32_t seed, std::ostream& errors, PlayerOutput& output)
    : Player(clockFor(timeline), seed, errors, output)
{}

Player::Player(std::unique_ptr<Clock> clock, std::uint32_t seed, std::ostream& errors,
               PlayerOutput& output)
    : output_(output), clock_(std::move(clock)),
      virtualClock_(dynamic_cast<VirtualClock*>(clock_.get())), scheduler_(*clock_),
      show_(scheduler_, *this, seed, errors)
{}

Player::~Player() = default;

void Player::load()
{
    if (loaded_)
        return;
    loaded_ = true;
    show_.load();
    afterHandler();
}

bool Player::press(double x, double y)
{
    if (paused())
        return false;
    const bool clicked = show_.clickAt(x, y);
    if (clicked)
        afterHandler();
    return clicked;
}

void Player::click()
{
    show_.click();
    afterHandler();
}

void Player::resize(int widthUnits, int heightUnits)
{
    stage().setClientSize(widthUnits, heightUnits);
}

void Player::setPaused(bool paused)
{
    if (paused == this->paused())
        return;
    if (paused)
        scheduler_.pause();
    else
        scheduler_.resume();
}

std::optional<double> Player::nextCueDue() const
{
    const std::optional<double> due = scheduler_.nextDue();
    if (!due || scheduler_.dueTime(Timer::tmrTime) != due)
        return std::nullopt;
    return due;
}

bool Player::runDue(double cueWaitMs)
{
    // Only a front on the wall clock waits; a virtual run takes every tick at its due time.
    if (cueWaitMs > 0) {
        const double now = clock_->now();
        if (const std::optional<double> due = nextCueDue();
            due && *due > now && *due - now <= cueWaitMs)
            clock_->waitUntil(*due);
    }
    const std::optional<Timer> timer = scheduler_.takeDue();
    if (!timer)
        return false;
    show_.tick(*timer);
    afterHandler();
    return true;
}

void Player::afterHandler()
{
    // The show's end is known once its last cue has run.
    if (!lastCueAt_ && show_.cueCount().value() >= kCueTotal) {
        lastCueAt_ = clock_->now();
        if (!end_)
            setEnd(*lastCueAt_ + kAfterLastCueMs);
    }
    output_.frameDue(FrameDue::Soon);
}

void Player::addClick(double atMs)
{
    planned_.emplace(atMs, std::nullopt);
}

void Player::addPress(double atMs, double x, double y)
{
    planned_.emplace(atMs, Press{x, y});
}

std::optional<double> Player::nextPlanned() const
{
    std::optional<double> next = scheduler_.nextDue();
    if (!planned_.empty() && (!next || planned_.begin()->first <= *next))
        next = planned_.begin()->first;
    return next;
}

void Player::step()
{
    advanceTo(*nextPlanned(), false);
    // Whatever arrived first goes first; a click goes before a tick due at the same time.
    const std::optional<double> due = scheduler_.nextDue();
    if (!planned_.empty() && (!due || planned_.begin()->first <= *due)) {
        const std::optional<Press> place = planned_.begin()->second;
        planned_.erase(planned_.begin());
        if (!place)
            click();
        else if (show_.clickAt(place->x, place->y))
            afterHandler();
        return;
    }
    runDue();
}

void Player::runUntil(double endMs)
{
    load();
    for (std::optional<double> next = nextPlanned(); next && *next <= endMs; next = nextPlanned())
        step();
    advanceTo(endMs, true);
}

bool Player::runShowUntil(double ms)
{
    load();
    while (!end_) {
        const std::optional<double> next = nextPlanned();
        if (!next || *next > kLongestShowMs)
            setEnd(kLongestShowMs);
        else if (*next > ms)
            break;
        else
            step();
    }
    const double stop = end_ ? std::min(ms, *end_) : ms;
    runUntil(stop);
    return end_ && stop >= *end_;
}

double Player::runShow()
{
    runShowUntil(std::numeric_limits<double>::infinity());
    return *end_;
}

void Player::advanceTo(double ms, bool inclusive)
{
    for (std::optional<double> at = output_.nextLook();
         at && (*at < ms || (inclusive && *at == ms)); at = output_.nextLook()) {
        if (*at > clock_->now())
            virtualClock_->advanceTo(*at);
        output_.look(*at, stage());
    }
    virtualClock_->advanceTo(ms);
}

void Player::setEnd(double atMs)
{
    end_ = atMs;
    output_.endKnown(atMs);
}

double Player::expectedEnd() const
{
    if (end_)
        return *end_;
    return std::max(kUsualEndMs, clock_->now() + kAfterLastCueMs);
}

void Player::waitUntil(double ms)
{
    if (virtualClock_ != nullptr)
        advanceTo(ms, false);
    else
        clock_->waitUntil(ms);
}

void Player::busyPause()
{
    // Counted from the handler's time, so that the frames of a loop that started on time come
    // every 100 ms of the wall clock, whatever the drawing between them took.
    const double start = scheduler_.handlerTime();
    // Every frame of the loop must reach the output while the loop runs.
    output_.frameDue(FrameDue::Now);
    waitUntil(start + kPauseMs);
    scheduler_.moveHandlerTime(start + kPauseMs);
}

void Player::maximised()
{
    output_.windowStateChanged();
}

void Player::periodSet()
{
    output_.timersChanged();
}

void Player::handlerFailed(std::string_view handler, std::string_view message)
{
    output_.error(handler, message);
}

} // namespace q3
