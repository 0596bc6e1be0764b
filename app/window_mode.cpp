#include "app/window_mode.h"

#include "app/trace_writer.h"
#include "core/script/show.h"
#include "render/fonts.h"
#include "window/window_show.h"

#include <QApplication>
#include <QTimer>
#include <iostream>

namespace q3 {
int runWindow(const Options& options, std::uint32_t seed)
{
    loadStageFonts();
    WindowShow windowShow(makeQuilletShow(seed), std::cerr);
    std::unique_ptr<TraceWriter> trace;
    if (options.tracePath) {
        trace = startTrace(*options.tracePath, windowShow.player().stage(),
                           windowShow.player().clock(), seed, "window");
        if (!trace)
            return 1;
    }
    // Lines written while the show is quiet still reach the trace soon.
    QTimer traceFlush;
    if (trace) {
        QObject::connect(&traceFlush, &QTimer::timeout, [&] { trace->flushWaiting(); });
        traceFlush.start(TraceWriter::kFlushEveryMs);
    }
    windowShow.window().setQuality(options.quality);
    windowShow.start();
    windowShow.player().setLoop(options.loop);
    windowShow.setSpeed(options.speed);
    if (options.startMs)
        windowShow.startAt(*options.startMs);
    const int status = QApplication::exec();
    // A failure of the trace was reported when it happened.
    if (trace && !trace->finish())
        return 1;
    return status;
}

} // namespace q3
