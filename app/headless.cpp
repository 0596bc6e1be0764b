#include "app/headless.h"

#include "app/output_file.h"
#include "app/trace_writer.h"
#include "core/messages.h"
#include "core/player.h"
#include "core/script/show.h"
#include "render/compositor.h"
#include "render/fonts.h"

#include <QBuffer>
#include <QImageWriter>
#include <algorithm>
#include <iostream>
#include <map>

namespace q3 {
namespace {

// Show time between looks at whether the outputs still work.
constexpr double kStretchMs = 60000;

bool savePng(const QImage& image, const QString& path)
{
    // Encoded in memory first, so that the file is written with the same checks as every
    // other output and the encoder's own messages never reach the user.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    OutputFile file(path, Existing::Replace);
    if (!writer.write(image))
        file.abandon("cannot encode the picture: " + writer.errorString().toStdString());
    if (!file.write(std::string_view(png.constData(), static_cast<std::size_t>(png.size()))) ||
        !file.commit()) {
        printError(file.message());
        return false;
    }
    return true;
}

// Saves the screenshots the options ask for as the show reaches their times. After the first
// failure the run only goes on to its end: one error, one line.
class Screenshots final : public PlayerOutput
{
public:
    explicit Screenshots(const Options& options) : size_(options.size), compositor_(options.quality)
    {
        for (const ScreenshotRequest& shot : options.screenshots)
            due_.emplace(double(shot.atMs), shot.path);
    }

    [[nodiscard]] bool ok() const { return ok_; }
    [[nodiscard]] double last() const { return due_.empty() ? 0 : std::prev(due_.end())->first; }
    void stopAfterFailure(const TraceWriter* trace) { trace_ = trace; }

    [[nodiscard]] std::optional<double> nextLook() const override
    {
        if (due_.empty())
            return std::nullopt;
        return due_.begin()->first;
    }

    void look(double /*atMs*/, const Stage& stage) override
    {
        const QString path = due_.begin()->second;
        due_.erase(due_.begin());
        if (ok_ && !(trace_ != nullptr && trace_->failed()))
            ok_ = savePng(compositor_.render(stage, size_), path);
    }

private:
    QSize size_;
    Compositor compositor_;
    std::multimap<double, QString> due_;
    const TraceWriter* trace_ = nullptr;
    bool ok_ = true;
};

} // namespace

int runHeadless(const Options& options, std::uint32_t seed)
{
    loadStageFonts();
    Screenshots screenshots(options);
    Player player(TimeSource::Virtual, makeQuilletShow(seed), std::cerr, screenshots);
    std::unique_ptr<TraceWriter> trace;
    if (options.tracePath) {
        trace = startTrace(*options.tracePath, player.stage(), player.clock(), seed, "headless");
        if (!trace)
            return 1;
        screenshots.stopAfterFailure(trace.get());
    }

    player.addClick(0);
    for (const int click : options.clicks)
        player.addClick(click);
    player.setLoop(options.loop);
    if (options.startMs.value_or(0) > 0)
        player.seek(*options.startMs);

    const auto failed = [&] { return !screenshots.ok() || (trace && trace->failed()); };
    if (options.durationMs) {
        // In stretches, so that a failed output ends a long run at once. Looping or not, the run
        // plays from its start for as long as it takes to reach the duration's moment.
        const double from = player.now();
        const double length = *options.durationMs - from;
        for (double played = 0;;) {
            const double stretch = std::clamp(length - played, 0.0, kStretchMs);
            played += stretch;
            player.runFor(stretch);
            if (failed() || played >= length)
                break;
        }
    } else {
        const double lastShot = screenshots.last();
        if (*player.runToEnd() < lastShot)
            player.runUntil(lastShot);
    }

    bool ok = screenshots.ok();
    if (trace && (!ok || !trace->finish()))
        ok = false;
    return ok ? 0 : 1;
}

} // namespace q3
