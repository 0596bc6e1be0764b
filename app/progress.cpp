#include "app/progress.h"

#include "app/stop_signals.h"
#include "core/messages.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>

namespace q3 {
namespace {

constexpr int kBarWidth = 30;
// Redrawing more often than this only costs time and flickers.
constexpr double kBarRedrawSeconds = 0.1;

std::string formatted(const char* format, double a, double b = 0, double c = 0)
{
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), format, a, b, c);
    return text.data();
}

// Show time done over real time taken.
double speedOf(double doneMs, double elapsedSeconds)
{
    return elapsedSeconds > 0 ? doneMs / 1000.0 / elapsedSeconds : 0;
}

} // namespace

Progress::Style Progress::styleFor(bool quiet, bool terminal)
{
    if (quiet)
        return Style::Silent;
    return terminal ? Style::Bar : Style::Lines;
}

Progress::Progress(std::ostream& out, Style style, double totalMs)
    : out_(out), style_(style), totalMs_(std::max(totalMs, 1.0))
{}

void Progress::setTotal(double totalMs)
{
    totalMs_ = std::max(totalMs, 1.0);
}

void Progress::update(double doneMs, double elapsedSeconds)
{
    // Once the stream has failed (a pipe whose reader has gone), progress is no longer shown;
    // the recording goes on.
    if (!out_.good())
        return;
    doneMs = std::clamp(doneMs, 0.0, totalMs_);
    switch (style_) {
    case Style::Silent:
        return;
    case Style::Bar:
        if (doneMs >= totalMs_ || lastDrawn_ < 0 ||
            elapsedSeconds - lastDrawn_ >= kBarRedrawSeconds) {
            lastDrawn_ = elapsedSeconds;
            drawBar(doneMs, elapsedSeconds);
        }
        return;
    case Style::Lines: {
        const int tenths = static_cast<int>(std::floor(doneMs * 10 / totalMs_));
        if (tenths <= tenthsShown_)
            return;
        tenthsShown_ = tenths;
        // One write per line, so that lines from elsewhere never land inside it.
        out_ << messageLine("recorded " + std::to_string(tenths * 10) + "% (" +
                            formatted("%.1f of %.1f s, %.1fx real time", doneMs / 1000,
                                      totalMs_ / 1000, speedOf(doneMs, elapsedSeconds)) +
                            ")")
             << std::flush;
        return;
    }
    }
}

void Progress::drawBar(double doneMs, double elapsedSeconds)
{
    const double fraction = doneMs / totalMs_;
    const int filled = static_cast<int>(std::lround(fraction * kBarWidth));
    const double speed = speedOf(doneMs, elapsedSeconds);
    const double leftSeconds = speed > 0 ? (totalMs_ - doneMs) / 1000.0 / speed : 0;
    out_ << "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] " +
                formatted("%3.0f%%  %.1f/%.1f s", fraction * 100, doneMs / 1000, totalMs_ / 1000) +
                formatted("  %.1fx real time  %.0f s left  ", speed, leftSeconds)
         << std::flush;
    drawn_ = true;
    noteOpenStatusLine(true);
}

void Progress::finish()
{
    if (style_ == Style::Bar && drawn_)
        out_ << '\n' << std::flush;
    noteOpenStatusLine(false);
}

} // namespace q3
