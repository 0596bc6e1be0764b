#pragma once

#include <chrono>

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

} // namespace q3
