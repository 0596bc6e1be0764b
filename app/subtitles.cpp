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
        update(player_.now());
        break;
    case EventKind::Seek:
        endAll(event.fromMs);
        update(event.toMs);
        break;
    default:
        break;
    }
}

std::set<std::string> CaptionFollower::onScreenNow() const
{
    return captionsOnScreen(player_.stage());
}

void CaptionFollower::update(double at)
{
    const std::set<std::string> now = onScreenNow();
    for (auto it = onScreen_.begin(); it != onScreen_.end();) {
        if (now.contains(it->first)) {
            ++it;
            continue;
        }
        done_.push_back({it->second, at, it->first});
        it = onScreen_.erase(it);
    }
    for (const std::string& text : now) {
        if (onScreen_.contains(text))
            continue;
        // Taken down and put up again in the same instant: it never left the screen.
        const auto same = std::find_if(done_.rbegin(), done_.rend(), [&](const SubtitleCue& cue) {
            return cue.text == text && cue.endMs == at;
        });
        if (same != done_.rend()) {
            onScreen_.emplace(text, same->startMs);
            done_.erase(std::next(same).base());
        } else {
            onScreen_.emplace(text, at);
        }
    }
}

void CaptionFollower::endAll(double at)
{
    for (const auto& [text, since] : onScreen_)
        done_.push_back({since, at, text});
    onScreen_.clear();
}

void CaptionFollower::startClipAt(double ms)
{
    origin_ = ms;
    done_.clear();
    onScreen_.clear();
    for (const std::string& text : onScreenNow())
        onScreen_.emplace(text, ms);
}

std::vector<SubtitleCue> CaptionFollower::finish(double endMs)
{
    std::vector<SubtitleCue> cues = done_;
    for (const auto& [text, since] : onScreen_)
        cues.push_back({since, std::max(since, endMs), text});
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
