#include "core/player.h"

#include "core/speed.h"

#include <algorithm>
#include <utility>

namespace q3 {
namespace {

constexpr double kAfterLastCueMs = 5000;
constexpr double kLongestShowMs = 48.0 * 3600 * 1000;
constexpr double kPauseMs = 100;

std::unique_ptr<Clock> clockFor(TimeSource time)
{
    if (time == TimeSource::Virtual)
        return std::make_unique<VirtualClock>();
    return std::make_unique<RealClock>();
}

} // namespace

PlayerOutput& noOutput()
{
    static PlayerOutput none;
    return none;
}

Player::Player(TimeSource time, ShowFactory show, std::ostream& errors, PlayerOutput& output)
    : Player(clockFor(time), std::move(show), errors, output)
{}

Player::Player(std::unique_ptr<Clock> clock, ShowFactory show, std::ostream& errors,
               PlayerOutput& output)
    : output_(output), factory_(std::move(show)), errors_(errors),
      clock_(std::make_unique<ShowClock>(std::move(clock))),
      run_(std::make_unique<Run>(*clock_, static_cast<StageHost&>(*this), factory_))
{}

Player::~Player() = default;

PlayerOutput& Player::out() const
{
    // A replay only catches up: nobody sees its frames, timers or errors.
    return replaying_ ? noOutput() : output_;
}

void Player::load()
{
    if (loaded_)
        return;
    loaded_ = true;
    show().load();
    afterHandler();
}

bool Player::press(double x, double y)
{
    if (paused())
        return false;
    const bool clicked = take(Press{x, y});
    if (clicked)
        forgetChart();
    return clicked;
}

void Player::click()
{
    take(Click{});
    forgetChart();
}

void Player::resize(int widthUnits, int heightUnits)
{
    clientSize_ = Resize{widthUnits, heightUnits};
    if (take(*clientSize_))
        forgetChart();
}

bool Player::take(const Input& input)
{
    const double at = now();
    if (const auto* size = std::get_if<Resize>(&input)) {
        if (stage().clientWidth() == size->width && stage().clientHeight() == size->height)
            return false;
        taken_.emplace(at, input);
        stage().setClientSize(size->width, size->height);
        return true;
    }
    if (const auto* place = std::get_if<Press>(&input)) {
        if (!show().clickAt(place->x, place->y))
            return false;
    } else {
        show().click();
    }
    taken_.emplace(at, input);
    afterHandler();
    return true;
}

void Player::forgetChart()
{
    chart_.reset();
    out().chartChanged();
}

void Player::setPaused(bool paused)
{
    if (paused == this->paused())
        return;
    // The show's time stands still too: after a pause the show goes on from where it stood.
    if (paused) {
        scheduler().pause();
        clock_->hold();
    } else {
        clock_->release();
        scheduler().resume();
    }
}

std::optional<double> Player::nextDue() const
{
    std::optional<double> due = run_->scheduler.nextDue();
    if (loop_ && end_ && !paused() && (!due || *end_ < *due))
        due = end_;
    return due;
}

bool Player::runDue()
{
    return restartIfEndedPlaying() || runTick();
}

bool Player::runTick()
{
    const std::optional<Timer> timer = scheduler().takeDue();
    if (!timer)
        return false;
    show().tick(*timer);
    afterHandler();
    return true;
}

void Player::afterHandler()
{
    // The show's end is known once its last cue has run.
    if (!lastCueAt_ && show().cueCount().value() >= factory_.cueTotal) {
        lastCueAt_ = clock_->now();
        if (!end_)
            setEnd(*lastCueAt_ + kAfterLastCueMs);
    }
    out().frameDue(FrameDue::Soon);
}

void Player::addClick(double atMs)
{
    planned_.emplace(atMs, Click{});
    forgetChart();
}

std::optional<double> Player::nextEvent() const
{
    std::optional<double> next = run_->scheduler.nextDue();
    if (!planned_.empty() && (!next || planned_.begin()->first <= *next))
        next = planned_.begin()->first;
    return next;
}

void Player::takeNextEvent()
{
    passTo(*nextEvent(), false);
    // Whatever arrived first goes first; a click goes before a tick due at the same time.
    const std::optional<double> due = scheduler().nextDue();
    if (!planned_.empty() && (!due || planned_.begin()->first <= *due)) {
        const Input input = planned_.begin()->second;
        planned_.erase(planned_.begin());
        take(input);
        return;
    }
    // A virtual run starts again at the end only where runFor says so: a tick due at the end
    // must not send runUntil back to the start.
    runTick();
}

void Player::runUntil(double ms)
{
    load();
    for (std::optional<double> next = nextEvent(); next && *next <= ms; next = nextEvent())
        takeNextEvent();
    passTo(ms, true);
}

std::optional<double> Player::runToEnd(double ms)
{
    load();
    while (!end_) {
        const std::optional<double> next = nextEvent();
        if (!next || *next > kLongestShowMs)
            setEnd(kLongestShowMs);
        else if (*next > ms)
            break;
        else
            takeNextEvent();
    }
    const double stop = end_ ? std::min(ms, *end_) : ms;
    runUntil(stop);
    if (end_ && stop >= *end_)
        return end_;
    return std::nullopt;
}

void Player::runFor(double ms)
{
    if (!loop_)
        return runUntil(now() + ms);
    for (double left = ms;;) {
        const double from = now();
        const bool ended = runToEnd(from + left).has_value();
        left -= now() - from;
        if (!ended || left <= 0 || !restartIfEnded())
            return;
    }
}

void Player::passTo(double ms, bool inclusive)
{
    if (clock_->isVirtual()) {
        for (std::optional<double> at = output_.nextLook();
             at && (*at < ms || (inclusive && *at == ms)); at = output_.nextLook()) {
            if (*at > clock_->now())
                clock_->waitUntil(*at);
            output_.look(*at, stage());
        }
    }
    clock_->waitUntil(ms);
}

void Player::setEnd(double atMs)
{
    end_ = atMs;
    out().endKnown(atMs);
}

double Player::expectedEnd() const
{
    if (end_)
        return *end_;
    return std::max(factory_.usualLastCueMs + kAfterLastCueMs, clock_->now() + kAfterLastCueMs);
}

std::optional<double> Player::startedAt() const
{
    for (const auto& [at, input] : taken_)
        if (!std::holds_alternative<Resize>(input))
            return at;
    return std::nullopt;
}

void Player::report(const Event& event)
{
    stage().report(event);
}

void Player::replayTo(double toMs)
{
    // Input taken at or before the moment is made again; later input is forgotten. Clicks
    // still planned stay planned.
    // Taken input goes before input planned for the same moment, as it did.
    const auto replayed = taken_.upper_bound(toMs);
    const bool forgets = replayed != taken_.end();
    std::multimap<double, Input> again(taken_.begin(), replayed);
    again.insert(planned_.begin(), planned_.end());
    planned_ = std::move(again);
    taken_.clear();
    loaded_ = false;
    lastCueAt_.reset();
    end_.reset();
    clock_->replayFrom(0);
    replaying_ = true;
    runToEnd(toMs);
    replaying_ = false;
    clock_->play();
    if (forgets)
        forgetChart();
}

void Player::seek(double toMs)
{
    const double from = now();
    const bool wasPaused = paused();
    // The old run stays until its followers have moved to the new one.
    const std::unique_ptr<Run> old = std::exchange(
        run_, std::make_unique<Run>(*clock_, static_cast<StageHost&>(*this), factory_));
    replayTo(std::max(0.0, toMs));
    old->show->stage().events().handOverTo(stage().events());
    // The window is the size it is now, whatever size it had at the moment replayed.
    if (clientSize_)
        resize(clientSize_->width, clientSize_->height);
    if (wasPaused)
        scheduler().pause();
    report({.kind = EventKind::Seek, .fromMs = from, .toMs = now()});
    if (end_)
        output_.endKnown(*end_);
    if (stage().maximised())
        output_.windowStateChanged();
    output_.timersChanged();
    output_.frameDue(FrameDue::Soon);
}

bool Player::restartIfEnded()
{
    if (!loop_ || !end_ || now() < *end_)
        return false;
    seek(startedAt().value_or(0));
    return true;
}

bool Player::restartIfEndedPlaying()
{
    return !paused() && restartIfEnded();
}

void Player::setLoop(bool loop)
{
    if (loop == loop_)
        return;
    loop_ = loop;
    report({.kind = EventKind::Loop, .on = loop});
    output_.timersChanged();
}

void Player::setSpeed(double speed)
{
    speed = std::clamp(speed, kMinSpeed, kMaxSpeed);
    if (speed == clock_->speed())
        return;
    clock_->setSpeed(speed);
    report({.kind = EventKind::Speed, .speed = speed});
    output_.timersChanged();
}

const ShowChart& Player::chart()
{
    if (!chart_)
        chart_ = chartShow(factory_, [this](Player& probe) {
            // Taken input goes before input planned for the same moment, as it did.
            probe.planned_ = taken_;
            probe.planned_.insert(planned_.begin(), planned_.end());
        });
    return *chart_;
}

void Player::busyPause()
{
    // Counted from the handler's time, so that the frames of a loop that started on time come
    // every 100 ms of the wall clock, whatever the drawing between them took.
    const double start = scheduler().handlerTime();
    // Every frame of the loop must reach the output while the loop runs.
    out().frameDue(FrameDue::Now);
    passTo(start + kPauseMs, false);
    scheduler().moveHandlerTime(start + kPauseMs);
}

void Player::maximised()
{
    out().windowStateChanged();
}

void Player::periodSet()
{
    out().timersChanged();
}

void Player::handlerFailed(std::string_view handler, std::string_view message)
{
    // The one place where a handler's error is reported. A replay made it before.
    if (replaying_)
        return;
    errors_.report(handler, message);
    output_.error(handler, message);
}

} // namespace q3
