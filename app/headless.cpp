#include "app/headless.h"

#include "app/trace_writer.h"
#include "app/virtual_run.h"
#include "stage/compositor.h"
#include "stage/fonts.h"

#include <QSaveFile>
#include <iostream>

namespace q3 {
namespace {

// Long enough for any number of clicks to let the last cue run.
constexpr double kLongestShowMs = 48.0 * 3600 * 1000;
constexpr double kAfterLastCueMs = 5000;

bool savePng(const QImage& image, const QString& path)
{
    // Written beside the destination and renamed into place when complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        std::cerr << "quillet3: error: cannot write " << path.toStdString() << ": "
                  << file.errorString().toStdString() << '\n';
        return false;
    }
    return true;
}

} // namespace

int runHeadless(const Options& options, std::uint32_t seed)
{
    loadStageFonts();
    VirtualRun run(seed, std::cerr);
    std::unique_ptr<TraceWriter> trace;
    if (options.tracePath) {
        std::string error;
        trace = TraceWriter::open(options.tracePath->toStdString(), run.clock(), error);
        if (!trace) {
            std::cerr << "quillet3: error: cannot write " << options.tracePath->toStdString()
                      << ": " << error << '\n';
            return 2;
        }
        trace->start(seed, "headless");
        run.show().stage().addListener(trace.get());
    }

    run.addClick(0);
    for (const int click : options.clicks)
        run.addClick(click);

    Compositor compositor;
    bool ok = true;
    double lastShot = 0;
    for (const ScreenshotRequest& shot : options.screenshots) {
        lastShot = std::max(lastShot, double(shot.atMs));
        run.addSample(shot.atMs, [&, path = shot.path](double) {
            ok = savePng(compositor.render(run.show().stage(), options.size), path) && ok;
        });
    }

    if (options.durationMs) {
        run.runUntil(*options.durationMs);
    } else {
        const double end = run.runToEnd(kAfterLastCueMs, kLongestShowMs);
        if (lastShot > end)
            run.runUntil(lastShot);
    }

    if (trace && !trace->finish()) {
        std::cerr << "quillet3: error: cannot write the trace to "
                  << options.tracePath->toStdString() << ": " << trace->error() << '\n';
        ok = false;
    }
    return ok ? 0 : 1;
}

} // namespace q3
