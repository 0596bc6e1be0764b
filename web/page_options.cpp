#include "web/page_options.h"

#include "core/messages.h"
#include "core/option_rules.h"
#include "core/option_values.h"
#include "core/script/show.h"

#include <vector>

namespace q3 {
namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "%41+b" reads "A b"; a stray "%" stays as it is.
std::string decoded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
                   hexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

struct Parameter
{
    std::string name;
    std::string value;
};

std::vector<Parameter> parametersOf(std::string_view query)
{
    if (query.starts_with('?'))
        query.remove_prefix(1);
    std::vector<Parameter> parameters;
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view item = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (item.empty())
            continue;
        const std::size_t eq = item.find('=');
        parameters.push_back({decoded(item.substr(0, eq)), eq == std::string_view::npos
                                                               ? std::string()
                                                               : decoded(item.substr(eq + 1))});
    }
    return parameters;
}

// The program's error line without its end, and without the pointer to the program's help.
std::string pageLine(const std::string& problem)
{
    std::string line = errorLine(problem);
    line.pop_back();
    return line;
}

constexpr OptionFront kPage = OptionFront::Page;

// Reads one parameter into `o`; the problem where its value is not one.
std::string take(PageOptions& o, const Parameter& p)
{
    if (p.name == "seed") {
        const OptionValue<std::uint32_t> seed = readSeed(kPage, p.value);
        o.seed = seed.value;
        return seed.problem;
    }
    if (p.name == "start" || p.name == "at") {
        const OptionValue<int> ms = readMs(kPage, p.name, p.value);
        (p.name == "start" ? o.startMs : o.atMs) = ms.value;
        return ms.problem;
    }
    if (p.name == "speed") {
        const OptionValue<double> speed = readSpeed(kPage, p.value);
        o.speed = speed.value;
        o.speedGiven = true;
        return speed.problem;
    }
    if (p.name == "quality") {
        const std::optional<Quality> quality = qualityNamed(p.value);
        if (!quality)
            return qualityProblem(kPage, quotedValue(kPage, p.value));
        o.quality = *quality;
        return {};
    }
    if (p.name == "loop" || p.name == "trace") {
        const OptionValue<bool> on = readSwitch(kPage, p.name, p.value);
        (p.name == "loop" ? o.loop : o.trace) = on.value;
        return on.problem;
    }
    return {};
}

// The problem with the options together, as the command line's rules have it; empty when none.
// A still is played to on virtual time and ends there.
std::string problemTogether(const PageOptions& o)
{
    RunRequest run{.show = makeQuilletShow(o.seed.value_or(0)),
                   .startMs = o.startMs,
                   .loop = o.loop,
                   .speedGiven = o.speedGiven,
                   .onVirtualTime = o.atMs.has_value(),
                   .stillEndsRun = true};
    if (o.atMs)
        run.stillsMs.push_back(*o.atMs);
    return steeringProblem(run, kPage);
}

} // namespace

ParsedPage parsePageQuery(std::string_view query)
{
    ParsedPage parsed;
    for (const Parameter& parameter : parametersOf(query)) {
        if (std::string problem = take(parsed.options, parameter); !problem.empty()) {
            parsed.problem = pageLine(problem);
            return parsed;
        }
    }
    if (const std::string problem = problemTogether(parsed.options); !problem.empty())
        parsed.problem = pageLine(problem);
    return parsed;
}

} // namespace q3
