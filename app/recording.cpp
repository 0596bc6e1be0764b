#include "app/recording.h"

#include "app/output_file.h"
#include "app/progress.h"
#include "app/subtitles.h"
#include "app/video_encoder.h"
#include "core/messages.h"
#include "core/player.h"
#include "core/script/show.h"
#include "render/compositor.h"
#include "render/fonts.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <unistd.h>
#include <vector>

namespace q3 {
namespace {

// Show time between looks at the progress and at the signals: a second, or a hundredth of a
// short show so that its progress still comes in tenths.
constexpr double kStretchMs = 1000;

long long framesIn(double endMs, int fps)
{
    const auto ms = static_cast<long long>(std::llround(endMs));
    return std::max(1LL, (ms * fps + 999) / 1000);
}

// The part of the show a recording takes: from its start to the duration's moment or the show's
// end, in the show's time.
struct Clip
{
    double startMs = 0;
    std::optional<double> endMs;
};

Clip clipOf(const Options& options)
{
    return {double(options.startMs.value_or(0)),
            options.durationMs ? std::optional<double>(*options.durationMs) : std::nullopt};
}

// Looks at the stage at the frames' times, from the clip's start until its end, and hands the
// encoder a picture only where the compositor painted something since the one before; the
// encoder repeats it at a constant rate. Frames are numbered from the clip's start.
class FrameRecorder final : public PlayerOutput
{
public:
    FrameRecorder(VideoEncoder* encoder, const Options& options)
        : encoder_(encoder), fps_(options.fps), clip_(clipOf(options)),
          compositor_(options.quality), image_(options.size, QImage::Format_BGR888)
    {}

    [[nodiscard]] bool ok() const { return ok_; }

    [[nodiscard]] std::optional<double> nextLook() const override
    {
        if (encoder_ == nullptr || !ok_ ||
            (clip_.endMs && index_ >= framesIn(*clip_.endMs - clip_.startMs, fps_)))
            return std::nullopt;
        return clip_.startMs + double(index_) * 1000.0 / fps_;
    }

    void look(double /*atMs*/, const Stage& stage) override
    {
        const bool changed = compositor_.render(stage, image_);
        if (ok_ && (changed || encoder_->framesEncoded() == 0))
            ok_ = encoder_->addFrame(image_, index_);
        ++index_;
    }

    // A recording given a duration keeps it.
    void endKnown(double atMs) override
    {
        if (!clip_.endMs)
            clip_.endMs = atMs;
    }

private:
    VideoEncoder* encoder_;
    int fps_;
    Clip clip_;
    Compositor compositor_;
    QImage image_;
    long long index_ = 0;
    bool ok_ = true;
};

// Says why the video could not be made: a write that failed by what the system said, anything
// else by the encoder's own words.
int encodingFailed(const VideoEncoder& encoder, OutputFile& video, const QString& path)
{
    if (encoder.writeError() != 0) {
        video.noteError(encoder.writeError());
        printError(video.message());
    } else {
        video.abandon(encoder.error());
        printError("cannot record " + shownPath(path) + ": " + encoder.error());
    }
    return 1;
}

// Plays the clip in stretches, showing the progress through it between them, until its end or
// until the recording fails. Returns where the clip ends, in the show's time.
double playRecorded(Player& player, const FrameRecorder& frames, const Options& options)
{
    const auto started = std::chrono::steady_clock::now();
    const Clip clip = clipOf(options);
    const auto length = [&] { return clip.endMs.value_or(player.expectedEnd()) - clip.startMs; };
    Progress progress(
        std::cerr,
        Progress::styleFor(options.quiet || !options.recordPath, isatty(STDERR_FILENO) != 0),
        length());
    const double stretch = std::clamp(length() / 100, 1.0, kStretchMs);
    for (double until = clip.startMs + stretch;; until += stretch) {
        bool ended = false;
        if (clip.endMs) {
            until = std::min(until, *clip.endMs);
            player.runUntil(until);
            ended = until >= *clip.endMs;
        } else {
            ended = player.runToEnd(until).has_value();
            until = std::min(until, player.expectedEnd());
            progress.setTotal(length());
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
        progress.update(until - clip.startMs, elapsed.count());
        if (!frames.ok() || ended)
            break;
    }
    progress.finish();
    return clip.startMs + length();
}

} // namespace

int runRecording(const Options& options, std::uint32_t seed)
{
    loadStageFonts();
    const Existing existing = options.overwrite ? Existing::Replace : Existing::Keep;
    std::optional<OutputFile> video;
    std::unique_ptr<VideoEncoder> encoder;
    if (options.recordPath) {
        const VideoSettings settings{*videoFormatFor(*options.recordPath), options.size,
                                     options.fps, !options.variableFrameRate};
        // The module first: one that fails, even by ending the program, finds no file made.
        std::string error;
        const std::optional<VideoModule> module = loadVideoModule(videoModuleFolders(), error);
        if (!module) {
            printError("cannot record " + shownPath(*options.recordPath) + ": " + error);
            return 1;
        }
        video.emplace(*options.recordPath, existing);
        if (video->failed()) {
            printError(video->message());
            return 1;
        }
        encoder = openVideoEncoder(*module, video->descriptor(), settings, error);
        if (!encoder) {
            printError("cannot record " + shownPath(*options.recordPath) + ": " + error);
            return 1;
        }
    }

    FrameRecorder frames(encoder.get(), options);
    Player player(TimeSource::Virtual, makeQuilletShow(seed), std::cerr, frames);
    player.addClick(0);
    for (const int click : options.clicks)
        player.addClick(click);
    CaptionFollower captions(player);
    EventBus::Subscription following;
    if (options.subtitlesPath)
        following = player.stage().events().subscribe(captions);
    if (const double start = clipOf(options).startMs; start > 0) {
        // The clip's first frame was taken on the way there.
        player.seek(start);
        captions.startClipAt(start);
    }

    const double endMs = playRecorded(player, frames, options);
    const double startMs = clipOf(options).startMs;
    if (encoder && (!frames.ok() || !encoder->finish(framesIn(endMs - startMs, options.fps))))
        return encodingFailed(*encoder, *video, *options.recordPath);
    // The subtitles are written before either file is placed, so that a failure leaves neither.
    std::optional<OutputFile> subtitles;
    if (options.subtitlesPath) {
        subtitles.emplace(*options.subtitlesPath, existing);
        subtitles->write(toWebVtt(captions.finish(endMs)));
    }
    // The pair is placed whole: a file that another program made meanwhile stops both.
    std::vector<OutputFile*> files;
    for (std::optional<OutputFile>* file : {&video, &subtitles})
        if (*file)
            files.push_back(&**file);
    if (const OutputFile* failed = OutputFile::commitTogether(files); failed != nullptr) {
        printError(failed->message());
        return 1;
    }
    return 0;
}

} // namespace q3
