#include "core/option_rules.h"

#include "core/player.h"

#include <cmath>
#include <sstream>

namespace q3 {
namespace {

// What the front calls a still: the command line's screenshot, the page's still.
std::string still(OptionFront front, int atMs)
{
    return std::string(front == OptionFront::CommandLine ? "the screenshot" : "the still") +
           " at " + std::to_string(atMs) + " ms";
}

std::string speedOnVirtualTime(OptionFront front)
{
    if (front == OptionFront::CommandLine)
        return "--speed works only in the window: headless runs take no time to play";
    return "speed does not work with at: a still takes no time to play";
}

// A start within the run and stills from the start on; empty when fine.
std::string startProblem(const RunRequest& run, OptionFront front)
{
    if (!run.startMs)
        return {};
    const int start = *run.startMs;
    if (run.durationMs && start >= *run.durationMs)
        return optionName(front, "start") + " " + std::to_string(start) +
               " must be before the end of the run at " + std::to_string(*run.durationMs) + " ms";
    for (const int at : run.stillsMs)
        if (at < start)
            return still(front, at) + " is before the start of the run at " +
                   std::to_string(start) + " ms";
    return {};
}

// A start and stills within the show; empty when fine.
std::string showEndProblem(const RunRequest& run, OptionFront front)
{
    const bool stillsBounded = !run.stillsMs.empty() && run.loop;
    if (!run.startMs && !stillsBounded)
        return {};
    const int end = showEndMs(run.show, run.clicks);
    if (run.startMs && *run.startMs >= end)
        return optionName(front, "start") + " " + std::to_string(*run.startMs) +
               " must be before the end of the show at " + std::to_string(end) + " ms";
    if (!stillsBounded)
        return {};
    for (const int at : run.stillsMs) {
        if (at <= end)
            continue;
        std::string problem =
            still(front, at) + " is past the end of the show at " + std::to_string(end) + " ms";
        if (run.loop)
            problem += ", where " + optionName(front, "loop") + " starts it again";
        return problem;
    }
    return {};
}

} // namespace

int showEndMs(const ShowFactory& show, std::span<const int> clicks)
{
    std::ostringstream silent;
    Player player(TimeSource::Virtual, show, silent);
    player.addClick(0);
    for (const int click : clicks)
        player.addClick(click);
    return static_cast<int>(std::lround(player.chart().end));
}

std::string stillsPastRunProblem(const RunRequest& run, OptionFront front)
{
    if (!run.durationMs)
        return {};
    for (const int at : run.stillsMs)
        if (at > *run.durationMs)
            return still(front, at) + " is past the end of the run at " +
                   std::to_string(*run.durationMs) + " ms";
    return {};
}

std::string steeringProblem(const RunRequest& run, OptionFront front)
{
    if (run.speedGiven && run.onVirtualTime)
        return speedOnVirtualTime(front);
    if (run.loop && run.recording)
        return optionName(front, "loop") + " does not work with " + optionName(front, "record") +
               " or " + optionName(front, "subtitles") + ": a recording needs an end";
    if (run.loop && run.onVirtualTime && !run.durationMs && !run.stillEndsRun)
        return optionName(front, "loop") + " needs " + optionName(front, "duration") +
               " when headless: a looping show has no end";
    if (std::string problem = startProblem(run, front); !problem.empty())
        return problem;
    return showEndProblem(run, front);
}

} // namespace q3
