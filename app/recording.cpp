#include "app/recording.h"

#include "app/output_file.h"
#include "app/progress.h"
#include "app/subtitles.h"
#include "app/video_encoder.h"
#include "app/virtual_run.h"
#include "stage/compositor.h"
#include "stage/fonts.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace q3 {
namespace {

// Show time between looks at the progress and at the signals: a second, or a hundredth of a
// short show so that its progress still comes in tenths.
constexpr double kStretchMs = 1000;

// What the picture depends on. Where it has not changed, neither has the frame.
struct FrameKey
{
    std::uint64_t controls = 0;
    std::uint64_t shapes = 0;
    std::uint64_t erasures = 0;

    friend bool operator==(const FrameKey&, const FrameKey&) = default;
};

FrameKey keyOf(const Stage& stage)
{
    return {stage.controlsVersion(), stage.displayList().lastSeq(),
            stage.displayList().eraseCount()};
}

void addClicks(VirtualRun& run, const Options& options)
{
    run.addClick(0);
    for (const int click : options.clicks)
        run.addClick(click);
}

// The end of the show is where the last cue has run, plus a little; it is found by playing the
// show once without looking, which takes a few milliseconds, so that the frames can be counted
// and the progress shown from the start.
double endOfShow(const Options& options, std::uint32_t seed)
{
    if (options.durationMs)
        return *options.durationMs;
    std::ostringstream ignored; // the errors are reported once, by the recorded run
    VirtualRun run(seed, ignored);
    addClicks(run, options);
    return run.runWholeShow();
}

long long framesIn(double endMs, int fps)
{
    const auto ms = static_cast<long long>(std::llround(endMs));
    return std::max(1LL, (ms * fps + 999) / 1000);
}

// Samples the stage at the frames' times, and renders and hands the encoder a picture only where
// it changed since the one before; the encoder repeats it at a constant rate.
class FrameRecorder
{
public:
    FrameRecorder(VideoEncoder& encoder, VirtualRun& run, const Options& options,
                  long long frameCount)
        : encoder_(encoder), run_(run), fps_(options.fps), frameCount_(frameCount),
          compositor_(options.quality), image_(options.size, QImage::Format_BGR888)
    {
        sampleAt(0);
    }

    [[nodiscard]] bool ok() const { return ok_; }

private:
    // Each frame's sample asks for the next one, so that a single sample waits however long the
    // recording is.
    void sampleAt(long long index)
    {
        if (index >= frameCount_)
            return;
        run_.addSample(double(index) * 1000.0 / fps_, [this, index](double) {
            frame(index);
            sampleAt(index + 1);
        });
    }

    void frame(long long index)
    {
        const FrameKey key = keyOf(run_.show().stage());
        if (!ok_ || (encoder_.framesEncoded() > 0 && key == last_))
            return;
        last_ = key;
        compositor_.render(run_.show().stage(), image_);
        ok_ = encoder_.addFrame(image_, index);
    }

    VideoEncoder& encoder_;
    VirtualRun& run_;
    int fps_;
    long long frameCount_;
    Compositor compositor_;
    QImage image_;
    FrameKey last_;
    bool ok_ = true;
};

// Says why the video could not be made: a write that failed by what the system said, anything
// else by the encoder's own words.
int encodingFailed(const VideoEncoder& encoder, OutputFile& video, const QString& path)
{
    if (encoder.writeError() != 0) {
        video.noteError(encoder.writeError());
        std::cerr << "quillet3: error: " << video.message() << '\n';
    } else {
        video.abandon(encoder.error());
        std::cerr << "quillet3: error: cannot record " << shownPath(path) << ": " << encoder.error()
                  << '\n';
    }
    return 1;
}

} // namespace

int runRecording(const Options& options, std::uint32_t seed)
{
    const auto started = std::chrono::steady_clock::now();
    loadStageFonts();

    const double endMs = endOfShow(options, seed);
    const long long frameCount = framesIn(endMs, options.fps);
    VirtualRun run(seed, std::cerr);
    addClicks(run, options);
    Stage& stage = run.show().stage();

    CaptionFollower captions(stage, run.clock());
    if (options.subtitlesPath)
        stage.addListener(&captions);

    const Existing existing = options.overwrite ? Existing::Replace : Existing::Keep;
    std::optional<OutputFile> video;
    std::unique_ptr<VideoEncoder> encoder;
    std::optional<FrameRecorder> frames;
    if (options.recordPath) {
        const VideoSettings settings{*videoFormatFor(*options.recordPath), options.size,
                                     options.fps, !options.variableFrameRate};
        video.emplace(*options.recordPath, existing);
        if (video->failed()) {
            std::cerr << "quillet3: error: " << video->message() << '\n';
            return 1;
        }
        std::string error;
        encoder = openVideoEncoder(video->descriptor(), settings, error);
        if (!encoder) {
            std::cerr << "quillet3: error: cannot record " << shownPath(*options.recordPath) << ": "
                      << error << '\n';
            return 1;
        }
        frames.emplace(*encoder, run, options, frameCount);
    }

    Progress progress(
        std::cerr,
        Progress::styleFor(options.quiet || !options.recordPath, isatty(STDERR_FILENO) != 0),
        endMs);
    const double stretch = std::clamp(endMs / 100, 1.0, kStretchMs);
    for (double until = std::min(stretch, endMs);; until = std::min(until + stretch, endMs)) {
        run.runUntil(until);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
        progress.update(until, elapsed.count());
        if ((frames && !frames->ok()) || until >= endMs)
            break;
    }
    progress.finish();

    if (encoder && (!frames->ok() || !encoder->finish(frameCount)))
        return encodingFailed(*encoder, *video, *options.recordPath);
    // The subtitles are written before either file is placed, so that a failure leaves neither.
    std::optional<OutputFile> subtitles;
    if (options.subtitlesPath) {
        subtitles.emplace(*options.subtitlesPath, existing);
        subtitles->write(toWebVtt(captions.finish(endMs)));
    }
    for (std::optional<OutputFile>* file : {&video, &subtitles}) {
        if (*file && !(*file)->commit()) {
            std::cerr << "quillet3: error: " << (*file)->message() << '\n';
            return 1;
        }
    }
    return 0;
}

} // namespace q3
