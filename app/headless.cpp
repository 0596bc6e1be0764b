#include "app/headless.h"

#include "app/output_file.h"
#include "app/trace_writer.h"
#include "app/virtual_run.h"
#include "stage/compositor.h"
#include "stage/fonts.h"

#include <QBuffer>
#include <QImageWriter>
#include <algorithm>
#include <iostream>

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
        std::cerr << "quillet3: error: " << file.message() << '\n';
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
        trace = startTrace(*options.tracePath, run.show().stage(), run.clock(), seed, "headless");
        if (!trace)
            return 1;
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
            // After the first failure the run only goes on to its end: one error, one line.
            if (ok && !(trace && trace->failed()))
                ok = savePng(compositor.render(run.show().stage(), options.size), path);
        });
    }

    if (options.durationMs) {
        // In stretches, so that a failed output ends a long run at once.
        const double end = *options.durationMs;
        for (double until = std::min(kStretchMs, end);; until = std::min(until + kStretchMs, end)) {
            run.runUntil(until);
            if (!ok || (trace && trace->failed()) || until >= end)
                break;
        }
    } else {
        const double end = run.runWholeShow();
        if (lastShot > end)
            run.runUntil(lastShot);
    }

    if (trace && (!ok || !trace->finish()))
        ok = false;
    return ok ? 0 : 1;
}

} // namespace q3
