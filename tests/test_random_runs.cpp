// The whole show under random viewers and random machines: clicks in bursts, in the frame loops
// and in the countdown, clicks at places on the window and aimed at the labels and pictures on
// it, pauses and resumes, resizes of the window before it is maximised; handlers that take long
// and moments when the program does not run at all, so that the timers' ticks come late and
// bunch up. After every stage event and between handlers the show must still hold together. A
// failure names its seed; QUILLET3_REPLAY_SEED=<seed> replays that seed alone.
#include "core/script/cues.h"
#include "support.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <tuple>
#include <utility>

namespace q3::test {
namespace {

struct Action
{
    enum class Kind
    {
        Click,
        ClickAt,        // at (x, y), wherever that is
        ClickOnControl, // on one of the labels and pictures visible then
        Pause,
        Resume,
        Resize,
        Stall, // the program is held for `ms`: nothing runs, time goes on
    };
    double at = 0;
    Kind kind = Kind::Click;
    int width = 0;
    int height = 0;
    // ClickAt: the place in units. ClickOnControl: which visible control (modulo their number)
    // and where in it, as fractions of its width and height.
    double x = 0;
    double y = 0;
    int pick = 0;
    double ms = 0;
};

// A viewer drawn from the seed. Times are those of the show without pauses, so clicks meant for
// the frame loops (cues 5 and 8) and the countdown land there unless a pause came before them.
std::vector<Action> randomViewer(std::uint32_t seed)
{
    std::mt19937 random(seed);
    const auto uniform = [&](double from, double to) {
        return std::uniform_real_distribution<double>(from, to)(random);
    };
    const auto count = [&](int from, int to) {
        return std::uniform_int_distribution<int>(from, to)(random);
    };
    // Whole milliseconds half the time, so that clicks also meet ticks at the same time.
    const auto at = [&](double from, double to) {
        const double t = uniform(from, to);
        return count(0, 1) == 0 ? std::floor(t) : t;
    };
    std::vector<Action> actions;
    const auto clicks = [&](int n, double from, double to) {
        for (int i = 0; i < n; ++i)
            actions.push_back({.at = at(from, to)});
    };
    clicks(1, 0, 2000);
    for (int burst = count(0, 4); burst > 0; --burst) {
        double t = at(0, 95000);
        for (int i = count(2, 8); i > 0; --i) {
            actions.push_back({.at = t});
            t += count(0, 1) == 0 ? 0.0 : uniform(0, 50);
        }
    }
    clicks(count(0, 6), 18000, 19000);
    clicks(count(0, 6), 27000, 28000);
    clicks(count(0, 8), 57000, 63000);
    clicks(count(0, 10), 0, 100000);
    for (int pause = count(0, 3); pause > 0; --pause) {
        const double from = at(0, 90000);
        actions.push_back({.at = from, .kind = Action::Kind::Pause});
        actions.push_back({.at = from + at(1, 5000), .kind = Action::Kind::Resume});
    }
    for (int place = count(0, 12); place > 0; --place)
        actions.push_back({.at = at(0, 100000),
                           .kind = Action::Kind::ClickAt,
                           .x = uniform(-500, 13000),
                           .y = uniform(-500, 10000)});
    for (int aimed = count(0, 12); aimed > 0; --aimed)
        actions.push_back({.at = at(0, 100000),
                           .kind = Action::Kind::ClickOnControl,
                           .x = uniform(0, 1),
                           .y = uniform(0, 1),
                           .pick = count(0, 100)});
    for (int stall = count(0, 3); stall > 0; --stall)
        actions.push_back({.at = at(0, 100000), .kind = Action::Kind::Stall, .ms = at(1, 8000)});
    for (int resize = count(0, 3); resize > 0; --resize)
        actions.push_back({.at = at(0, 4000),
                           .kind = Action::Kind::Resize,
                           .width = count(1000, 30000),
                           .height = count(1000, 30000)});
    std::stable_sort(actions.begin(), actions.end(),
                     [](const Action& a, const Action& b) { return a.at < b.at; });
    return actions;
}

// Checks the show on every stage event and at the boundaries between handlers.
class Invariants final : public StageListener
{
public:
    explicit Invariants(Player& run)
        : run_(run), count_(PlayerInspector::show(run).cueCount().value())
    {}

    void onEvent(const Event& event) override
    {
        // The window opens with every label shown; the load hides them.
        if (loaded_) {
            EXPECT_FALSE(run_.stage().control(Control::lblTheEnd).visible) << "lblTheEnd shown";
        }
        const bool marker = event.kind == EventKind::Load || event.kind == EventKind::Click ||
                            event.kind == EventKind::Tick;
        checkCount();
        if (marker) {
            if (event.kind != EventKind::Load)
                betweenHandlers();
            handler_ = event;
        }
        if (event.kind == EventKind::Tick)
            onTick(event);
        if (event.kind == EventKind::Click)
            ++clicks_;
        if (event.kind == EventKind::Fill)
            fill_ = event.rgb;
        if (event.kind == EventKind::Line || event.kind == EventKind::Box ||
            event.kind == EventKind::Circle) {
            EXPECT_EQ(event.fill, fill_) << "a shape drawn with a fill not in force";
        }
    }

    // Called when no handler runs: everything the last one did is on the stage.
    void betweenHandlers()
    {
        checkCount();
        loaded_ = true;
        const Stage& stage = run_.stage();
        EXPECT_FALSE(stage.control(Control::lblTheEnd).visible) << "lblTheEnd shown";
        // The fill colour is carried from one handler to the next: nothing in between resets it.
        EXPECT_EQ(stage.fill(), fill_) << "the fill changed between handlers";
        if (count_ >= 19) {
            const int visible = int{stage.control(Control::lblCountDown).visible} +
                                int{stage.control(Control::lblCountDown2).visible} +
                                int{stage.control(Control::lblScreen).visible};
            EXPECT_EQ(visible, 1) << "countdown labels and screen visible after cue " << count_ - 1;
        }
    }

    [[nodiscard]] const std::map<int, int>& cuesRun() const { return cuesRun_; }
    [[nodiscard]] int clicks() const { return clicks_; }

private:
    void checkCount()
    {
        const int now = PlayerInspector::show(run_).cueCount().value();
        if (now == count_)
            return;
        EXPECT_TRUE(handler_.kind == EventKind::Tick && handler_.timer == Timer::tmrTime)
            << "CueCount changed from " << count_ << " to " << now << " outside a cue tick";
        EXPECT_EQ(now, count_ + 1) << "CueCount moved by other than one";
        EXPECT_FALSE(countedInThisHandler_) << "CueCount changed twice in one tick";
        countedInThisHandler_ = true;
        count_ = now;
    }

    void onTick(const Event& event)
    {
        countedInThisHandler_ = false;
        const double now = PlayerInspector::scheduler(run_).now();
        EXPECT_TRUE(ticks_.insert({index(event.timer), now}).second)
            << name(event.timer) << " ticked twice at " << now << " ms";
        if (event.timer != Timer::tmrTime)
            return;
        EXPECT_EQ(event.cue, count_) << "the tick names another cue than CueCount";
        if (event.cue < kCueTotal) {
            EXPECT_EQ(++cuesRun_[event.cue], 1) << "cue " << event.cue << " ran again";
        }
    }

    Player& run_;
    int count_;
    bool loaded_ = false;
    bool countedInThisHandler_ = false;
    Event handler_{.kind = EventKind::Load};
    Rgb fill_ = kBlack;
    std::set<std::pair<std::size_t, double>> ticks_;
    std::map<int, int> cuesRun_;
    int clicks_ = 0;
};

// A machine that is sometimes slow: some ticks' handlers take up to `longestMs` longer, as if
// the program had been swapped out or the system were busy, so that other timers fall due
// meanwhile and their ticks wait.
class SlowHandlers final : public StageListener
{
public:
    SlowHandlers(VirtualClock& clock, std::uint32_t seed)
        : clock_(clock), random_(seed ^ 0x5EEDu),
          share_(std::uniform_real_distribution<double>(0, 0.3)(random_)),
          longestMs_(std::uniform_real_distribution<double>(1, 600)(random_))
    {}

    void onEvent(const Event& event) override
    {
        if (event.kind != EventKind::Tick ||
            std::uniform_real_distribution<double>(0, 1)(random_) >= share_)
            return;
        const double ms = std::uniform_real_distribution<double>(0, longestMs_)(random_);
        delayedMs_ += ms;
        clock_.waitUntil(clock_.now() + ms);
    }

    [[nodiscard]] double delayedMs() const { return delayedMs_; }

private:
    VirtualClock& clock_;
    std::mt19937 random_;
    double share_;
    double longestMs_;
    double delayedMs_ = 0;
};

// The labels and pictures visible now, front first.
std::vector<Control> visibleControls(const Stage& stage)
{
    std::vector<Control> visible;
    for (std::size_t i = 0; i < kControlCount; ++i) {
        const Control control = controlAt(i);
        if (stage.control(control).visible)
            visible.push_back(control);
    }
    return visible;
}

// Clicks at a place on one of the visible controls; the click must not reach the window.
void clickOnControl(Player& run, const Invariants& invariants, const Action& action)
{
    run.runUntil(action.at);
    const std::vector<Control> visible = visibleControls(run.stage());
    if (visible.empty())
        return;
    const Control target = visible[static_cast<std::size_t>(action.pick) % visible.size()];
    const UnitRect& rect = designOf(target).rect;
    const double x = rect.left + action.x * rect.width;
    const double y = rect.top + action.y * rect.height;
    const int clicksBefore = invariants.clicks();
    const int periodBefore = PlayerInspector::scheduler(run).period(Timer::tmrTime);
    PlayerInspector::addPress(run, action.at, x, y);
    run.runUntil(action.at);
    EXPECT_EQ(invariants.clicks(), clicksBefore)
        << "a click on " << name(target) << " at " << x << ", " << y << " reached the window";
    EXPECT_EQ(PlayerInspector::scheduler(run).period(Timer::tmrTime), periodBefore)
        << "a click on " << name(target) << " changed the cue clock";
}

// Handles every handler due up to `until`, one due time at a time, checking in between.
void runCheckedUntil(Player& run, Invariants& invariants, double until)
{
    for (auto due = PlayerInspector::scheduler(run).nextDue(); due && *due < until;
         due = PlayerInspector::scheduler(run).nextDue()) {
        run.runUntil(*due);
        invariants.betweenHandlers();
    }
}

void playViewer(std::uint32_t seed)
{
    std::ostringstream errors;
    // The viewer's stalls and the slow handlers move the clock themselves.
    auto ownClock = std::make_unique<VirtualClock>();
    VirtualClock& clock = *ownClock;
    Player run(std::move(ownClock), makeQuilletShow(seed), errors);
    Invariants invariants(run);
    SlowHandlers slow(clock, seed);
    EventBus::Subscription followInvariants = run.stage().events().subscribe(invariants);
    EventBus::Subscription followSlow = run.stage().events().subscribe(slow);
    run.runUntil(0);
    invariants.betweenHandlers();

    double paused = 0;
    double pausedAt = 0;
    double stalled = 0;
    for (const Action& action : randomViewer(seed)) {
        runCheckedUntil(run, invariants, action.at);
        switch (action.kind) {
        case Action::Kind::Click:
            run.addClick(action.at);
            break;
        case Action::Kind::ClickAt:
            PlayerInspector::addPress(run, action.at, action.x, action.y);
            break;
        case Action::Kind::ClickOnControl:
            clickOnControl(run, invariants, action);
            break;
        case Action::Kind::Stall:
            run.runUntil(action.at);
            stalled += action.ms;
            clock.advanceTo(clock.now() + action.ms);
            break;
        case Action::Kind::Pause:
            run.runUntil(action.at);
            if (!run.paused())
                pausedAt = run.now();
            run.setPaused(true);
            break;
        case Action::Kind::Resume:
            run.runUntil(action.at);
            if (run.paused())
                paused += run.now() - pausedAt;
            run.setPaused(false);
            break;
        case Action::Kind::Resize:
            run.runUntil(action.at);
            if (!run.stage().maximised())
                run.resize(action.width, action.height);
            break;
        }
        run.runUntil(action.at);
        invariants.betweenHandlers();
    }
    run.setPaused(false);
    // Cues never come slower than one every 3000 ms, so the show ends within 46 of those after
    // the first click; pauses, stalls and slow handlers push its end back by at most their
    // length and a period each.
    const double limit =
        2000 + 3000.0 * (kCueTotal + 1) + 2 * (paused + stalled + slow.delayedMs());
    runCheckedUntil(run, invariants, limit);
    run.runUntil(limit);
    invariants.betweenHandlers();

    EXPECT_EQ(invariants.cuesRun().size(), static_cast<std::size_t>(kCueTotal))
        << "not every cue ran by " << limit << " ms";
    EXPECT_TRUE(errors.str().empty()) << errors.str();
    followSlow.end();
    followInvariants.end();
}

TEST(RandomViewers, ShowHoldsTogetherWhateverTheViewerDoes)
{
    std::uint32_t first = 1;
    std::uint32_t last = 200;
    if (const char* replay = std::getenv("QUILLET3_REPLAY_SEED")) {
        first = static_cast<std::uint32_t>(std::strtoul(replay, nullptr, 10));
        last = first;
    }
    for (std::uint32_t seed = first; seed <= last; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        playViewer(seed);
        if (HasFailure())
            break;
    }
}

// What tells two shows apart at a moment: the time, the cue counter, the controls, the timers
// and every live shape in order.
struct ShowState
{
    double now = 0;
    int cues = 0;
    std::vector<ControlState> controls;
    std::vector<std::tuple<int, std::optional<double>>> timers;
    std::vector<std::tuple<int, int, int, int, int, std::uint32_t, std::uint32_t>> shapes;
    Rgb background;
    bool maximised = false;

    bool operator==(const ShowState&) const = default;
};

std::uint32_t packed(Rgb c)
{
    return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

ShowState stateOf(Player& player)
{
    ShowState state{.now = player.now(), .cues = PlayerInspector::show(player).cueCount().value()};
    const Stage& stage = player.stage();
    for (std::size_t i = 0; i < kControlCount; ++i)
        state.controls.push_back(stage.control(controlAt(i)));
    for (const Timer timer : kTimers)
        state.timers.emplace_back(PlayerInspector::scheduler(player).period(timer),
                                  PlayerInspector::scheduler(player).dueTime(timer));
    stage.displayList().forEachAfter(0, [&](const Shape& shape) {
        state.shapes.emplace_back(static_cast<int>(shape.kind), shape.x1, shape.y1, shape.x2,
                                  shape.y2, packed(shape.outline), packed(shape.fill));
    });
    state.background = stage.background();
    state.maximised = stage.maximised();
    return state;
}

// Follows a steered player's seeks: the clicks a seek forgets are those taken after the moment
// it went to.
struct ClicksInForce final : StageListener
{
    void onEvent(const Event& event) override
    {
        if (event.kind != EventKind::Seek)
            return;
        ++seeks;
        if (event.toMs < event.fromMs)
            clicks.erase(clicks.upper_bound(event.toMs), clicks.upper_bound(event.fromMs));
    }
    std::multiset<double> clicks;
    int seeks = 0;
};

// A viewer who steers: clicks, then at random moments of their own time a seek anywhere, a new
// speed, looping on or off. The show is compared, at each moment, with a show played straight to
// that moment with the clicks still in force.
void steerViewer(std::uint32_t seed)
{
    std::mt19937 random(seed);
    const auto whole = [&](int from, int to) {
        return std::uniform_int_distribution<int>(from, to)(random);
    };
    std::ostringstream errors;
    Player steered(TimeSource::Virtual, makeQuilletShow(seed), errors);
    ClicksInForce inForce;
    const EventBus::Subscription following = steered.stage().events().subscribe(inForce);
    for (int i = whole(1, 6); i > 0; --i) {
        const double at = i == 1 ? whole(0, 2000) : whole(0, 95000);
        steered.addClick(at);
        inForce.clicks.insert(at);
    }
    const auto compare = [&](const char* after) {
        Player straight(TimeSource::Virtual, makeQuilletShow(seed), errors);
        for (const double click : inForce.clicks)
            straight.addClick(click);
        straight.runUntil(steered.now());
        EXPECT_TRUE(stateOf(steered) == stateOf(straight))
            << "after " << after << ", at " << steered.now() << " ms";
    };
    constexpr std::array<double, 5> kSpeeds{0.25, 0.5, 1, 2, 4};
    for (int step = 0; step < 12 && !testing::Test::HasFailure(); ++step) {
        const int seeks = inForce.seeks;
        steered.runFor(whole(0, 40000));
        compare(inForce.seeks > seeks ? "a loop's start" : "playing");
        switch (whole(0, 3)) {
        case 0:
        case 1:
            steered.seek(whole(-1000, 100000));
            compare("a seek");
            break;
        case 2:
            steered.setSpeed(kSpeeds.at(static_cast<std::size_t>(whole(0, 4))));
            compare("a new speed");
            break;
        default:
            steered.setLoop(!steered.loop());
            compare("looping on or off");
            break;
        }
    }
    EXPECT_TRUE(errors.str().empty()) << errors.str();
}

TEST(RandomViewers, SteeredShowIsTheShowPlayedStraightToTheSameMoment)
{
    for (std::uint32_t seed = 1; seed <= 16; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        steerViewer(seed);
        if (HasFailure())
            break;
    }
}

} // namespace
} // namespace q3::test
