#include "app/headless.h"

#include "app/trace_writer.h"
#include "app/virtual_run.h"
#include "stage/compositor.h"
#include "stage/fonts.h"

#include <QSaveFile>
#include <iostream>

namespace q3 {
namespace {

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
        trace = startTrace(options.tracePath->toStdString(), run.show().stage(), run.clock(), seed,
                           "headless");
        if (!trace)
            return 2;
    }

    run.addClick(0);
    for (const int click : options.clicks)
        run.addClick(click);

    Compositor compositor(options.quality);
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
        const double end = run.runWholeShow();
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
