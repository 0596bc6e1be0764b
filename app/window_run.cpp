#include "app/window_run.h"

#include "app/trace_writer.h"
#include "script/show.h"
#include "stage/clock.h"
#include "stage/fonts.h"
#include "stage/scheduler.h"
#include "stage/stage_window.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <iostream>

namespace q3 {
namespace {

// Maximises the window when the show asks for it.
class MaximiseListener final : public StageListener
{
public:
    explicit MaximiseListener(QWidget& window) : window_(window) {}
    void onEvent(const Event& event) override
    {
        if (event.kind == EventKind::Maximise)
            window_.showMaximized();
    }

private:
    QWidget& window_;
};

// Runs each timer's tick when it falls due, one handler at a time.
class TimerDriver
{
public:
    TimerDriver(Scheduler& scheduler, Show& show, QWidget& window)
        : scheduler_(scheduler), show_(show), window_(window)
    {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { runDue(); });
    }

    // Arms the wake-up for the next due tick; nothing wakes while no timer runs.
    void rearm()
    {
        const std::optional<double> due = scheduler_.nextDue();
        if (!due) {
            timer_.stop();
            return;
        }
        const double wait = std::max(0.0, *due - scheduler_.now());
        timer_.start(static_cast<int>(std::ceil(wait)));
    }

private:
    void runDue()
    {
        // One tick per pass of the event loop, so a click that arrived meanwhile goes first.
        if (const std::optional<Timer> timer = scheduler_.takeDue()) {
            show_.tick(*timer);
            window_.update();
        }
        rearm();
    }

    Scheduler& scheduler_;
    Show& show_;
    QWidget& window_;
    QTimer timer_;
};

} // namespace

int runWindow(const Options& options, std::uint32_t seed)
{
    loadStageFonts();
    RealClock clock;
    Scheduler scheduler(clock);
    Show show(scheduler, seed, std::cerr);

    std::unique_ptr<TraceWriter> trace;
    if (options.tracePath) {
        std::string error;
        trace = TraceWriter::open(options.tracePath->toStdString(), clock, error);
        if (!trace) {
            std::cerr << "quillet3: error: cannot write " << options.tracePath->toStdString()
                      << ": " << error << '\n';
            return 2;
        }
        trace->start(seed, "window");
        show.stage().addListener(trace.get());
    }

    TimerDriver* driver = nullptr;
    StageWindow window(show.stage(), [&] {
        show.click();
        driver->rearm();
    });
    TimerDriver timers(scheduler, show, window);
    driver = &timers;
    MaximiseListener maximise(window);
    show.stage().addListener(&maximise);
    show.stage().setPresenter([&window] { window.presentNow(); });

    // The load runs before the window is first shown.
    show.load();
    window.show();
    timers.rearm();
    const int status = QApplication::exec();
    show.stage().removeListener(&maximise);
    if (trace && !trace->finish()) {
        std::cerr << "quillet3: error: cannot write the trace\n";
        return 1;
    }
    return status;
}

} // namespace q3
