#include "app/recording.h"

#include "app/progress.h"
#include "app/subtitles.h"
#include "app/video_encoder.h"
#include "app/virtual_run.h"
#include "stage/compositor.h"
#include "stage/fonts.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace q3 {
namespace {

// Show time between looks at the progress and at the signals: a second, or a hundredth of a
// short show so that its progress still comes in tenths.
constexpr double kStretchMs = 1000;

// The signal handler can reach nothing but a flag of static storage.
volatile std::sig_atomic_t& caughtSignal()
{
    static volatile std::sig_atomic_t caught = 0;
    return caught;
}

void noteSignal(int number)
{
    caughtSignal() = number;
}

// Ctrl+C and SIGTERM end a recording between frames, so that it can clean up after itself.
class SignalCatcher
{
public:
    SignalCatcher()
    {
        caughtSignal() = 0;
        struct sigaction action = {};
        action.sa_handler = noteSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previousInt_);
        sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~SignalCatcher()
    {
        sigaction(SIGINT, &previousInt_, nullptr);
        sigaction(SIGTERM, &previousTerm_, nullptr);
    }
    SignalCatcher(const SignalCatcher&) = delete;
    SignalCatcher& operator=(const SignalCatcher&) = delete;

    [[nodiscard]] int caught() const { return caughtSignal(); }

private:
    struct sigaction previousInt_ = {};
    struct sigaction previousTerm_ = {};
};

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

// Samples the stage at the frames' times, and renders and encodes a frame only where the
// picture changed since the one before.
class FrameRecorder
{
public:
    FrameRecorder(VideoEncoder& encoder, QSize size, Quality quality)
        : encoder_(encoder), compositor_(quality), image_(size, QImage::Format_BGR888)
    {}

    void frame(const Stage& stage, long long index)
    {
        const FrameKey key = keyOf(stage);
        if (!ok_ || (encoder_.framesEncoded() > 0 && key == last_))
            return;
        last_ = key;
        compositor_.render(stage, image_);
        ok_ = encoder_.addFrame(image_, index);
    }

    [[nodiscard]] bool ok() const { return ok_; }

private:
    VideoEncoder& encoder_;
    Compositor compositor_;
    QImage image_;
    FrameKey last_;
    bool ok_ = true;
};

int interrupted(int signal)
{
    std::cerr << "quillet3: interrupted; nothing was written\n";
    return 128 + signal;
}

} // namespace

int runRecording(const Options& options, std::uint32_t seed)
{
    const SignalCatcher catcher;
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

    std::unique_ptr<VideoEncoder> encoder;
    std::optional<FrameRecorder> frames;
    if (options.recordPath) {
        const VideoSettings settings{*videoFormatFor(*options.recordPath), options.size,
                                     options.fps};
        std::string error;
        encoder = openVideoEncoder(*options.recordPath, settings, error);
        if (!encoder) {
            std::cerr << "quillet3: error: cannot record " << options.recordPath->toStdString()
                      << ": " << error << '\n';
            return 1;
        }
        frames.emplace(*encoder, options.size, options.quality);
        for (long long k = 0; k < frameCount; ++k)
            run.addSample(double(k) * 1000.0 / options.fps, [&, k](double) {
                if (catcher.caught() == 0)
                    frames->frame(stage, k);
            });
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
        if (catcher.caught() != 0 || (frames && !frames->ok()) || until >= endMs)
            break;
    }
    progress.finish();

    if (catcher.caught() != 0)
        return interrupted(catcher.caught());
    if (encoder && (!frames->ok() || !encoder->finish(frameCount))) {
        std::cerr << "quillet3: error: cannot record " << options.recordPath->toStdString() << ": "
                  << encoder->error() << '\n';
        return 1;
    }
    if (options.subtitlesPath) {
        if (auto why = writeWebVtt(*options.subtitlesPath, captions.finish(endMs))) {
            std::cerr << "quillet3: error: cannot write " << options.subtitlesPath->toStdString()
                      << ": " << *why << '\n';
            return 1;
        }
    }
    return 0;
}

} // namespace q3
