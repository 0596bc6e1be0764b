#include "app/subtitles.h"

#include "core/captions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <tuple>

namespace q3 {
namespace {

std::string timestamp(double ms)
{
    const auto total = static_cast<long long>(std::llround(ms));
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%02lld:%02lld:%02lld.%03lld", total / 3600000,
                  total / 60000 % 60, total / 1000 % 60, total % 1000);
    return text.data();
}

// Cue text may not hold '<' or '&' unescaped, nor "-->"; escaping '>' rules that out too.
std::string escaped(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

CaptionFollower::CaptionFollower(const Player& player) : player_(player) {}

void CaptionFollower::onEvent(const Event& event)
{
    switch (event.kind) {
    case EventKind::Load:
    case EventKind::Show:
    case EventKind::Hide:
    case EventKind::Caption:
    case EventKind::Maximise:
        update(onScreenNow(), player_.now());
        break;
    case EventKind::Seek:
        // What was on screen ends where the show left.
        update({}, event.fromMs);
        update(onScreenNow(), event.toMs);
        break;
    default:
        break;
    }
}

std::set<std::string> CaptionFollower::onScreenNow() const
{
    return captionsOnScreen(player_.stage());
}

void CaptionFollower::update(const std::set<std::string>& now, double at)
{
    for (CaptionSpell& spell : follow_.update(now, at).left)
        done_.push_back({spell.sinceMs, spell.untilMs, std::move(spell.text)});
}

void CaptionFollower::startClipAt(double ms)
{
    origin_ = ms;
    done_.clear();
    follow_.restart(onScreenNow(), ms);
}

std::vector<SubtitleCue> CaptionFollower::finish(double endMs)
{
    std::vector<SubtitleCue> cues = done_;
    for (CaptionSpell& spell : follow_.unsettled(endMs))
        cues.push_back({spell.sinceMs, spell.untilMs, std::move(spell.text)});
    // What was gone in the same instant it came was never on a frame.
    std::erase_if(cues, [](const SubtitleCue& cue) { return cue.endMs <= cue.startMs; });
    // Cues that come and go together (a clip's first) in the order of their texts.
    std::sort(cues.begin(), cues.end(), [](const SubtitleCue& a, const SubtitleCue& b) {
        return std::tie(a.startMs, a.endMs, a.text) < std::tie(b.startMs, b.endMs, b.text);
    });
    for (SubtitleCue& cue : cues) {
        cue.startMs -= origin_;
        cue.endMs -= origin_;
    }
    return cues;
}

std::string toWebVtt(const std::vector<SubtitleCue>& cues)
{
    std::string out = "WEBVTT\n";
    int number = 0;
    for (const SubtitleCue& cue : cues) {
        out += '\n' + std::to_string(++number) + '\n';
        out += timestamp(cue.startMs) + " --> " + timestamp(cue.endMs) + '\n';
        out += escaped(cue.text) + '\n';
    }
    return out;
}

} // namespace q3
