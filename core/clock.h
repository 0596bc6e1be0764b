#pragma once

#include <chrono>
#include <memory>

namespace q3 {

// The time the show runs on, in milliseconds since the window loaded.
class Clock
{
public:
    Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;
    virtual ~Clock() = default;

    [[nodiscard]] virtual double now() const = 0;
    // Holds the thread until `ms`, handling nothing meanwhile.
    virtual void waitUntil(double ms) = 0;
    // True where times are whole milliseconds that only the program moves on.
    [[nodiscard]] virtual bool isVirtual() const = 0;
};

// Time that passes only when the program says so: the headless show, tests and recordings.
class VirtualClock final : public Clock
{
public:
    [[nodiscard]] double now() const override { return now_; }
    void waitUntil(double ms) override { advanceTo(ms); }
    [[nodiscard]] bool isVirtual() const override { return true; }

    void advanceTo(double ms)
    {
        if (ms > now_)
            now_ = ms;
    }

private:
    double now_ = 0;
};

// The wall clock, for the window.
class RealClock final : public Clock
{
public:
    [[nodiscard]] double now() const override;
    void waitUntil(double ms) override;
    [[nodiscard]] bool isVirtual() const override { return false; }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// The show's time as the player runs it: a source clock (the wall clock, or virtual time) at a
// speed, from the moment the show was put at. On the wall clock it stands still while the show is
// paused, so that the show's times stay those of a show played straight. While the player replays
// the show up to a moment it was sent to, time is virtual and moves only as the replay moves it.
class ShowClock final : public Clock
{
public:
    explicit ShowClock(std::unique_ptr<Clock> source);

    [[nodiscard]] double now() const override;
    void waitUntil(double ms) override;
    [[nodiscard]] bool isVirtual() const override { return replaying_ || source_->isVirtual(); }

    // A replay from `ms`: time stands until waitUntil moves it on.
    void replayFrom(double ms);
    // The source clock's time goes on from where the replay stopped.
    void play();
    // Paused: the wall clock's time stands still until released. Virtual time is moved on by
    // whoever runs it, paused or not.
    void hold();
    void release();

    // Show milliseconds per millisecond of the source; the show's time now is kept.
    void setSpeed(double speed);
    [[nodiscard]] double speed() const { return speed_; }
    // Milliseconds of the source clock until the show's time reaches `ms`.
    [[nodiscard]] double sourceMsUntil(double ms) const { return (ms - now()) / speed_; }

private:
    void rebase(double showMs);

    std::unique_ptr<Clock> source_;
    double from_ = 0;       // the show's time at sourceFrom_
    double sourceFrom_ = 0; // the source's time when the show was put at from_
    double speed_ = 1;
    bool replaying_ = false;
    bool held_ = false;
};

} // namespace q3
