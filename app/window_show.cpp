#include "app/window_show.h"

#include "stage/fonts.h"

#include <QApplication>
#include <algorithm>
#include <cmath>
#include <iostream>

namespace q3 {

WindowShow::WindowShow(std::uint32_t seed, std::ostream& errors)
    : show_(scheduler_, seed, errors),
      window_(show_.stage(), {[this] { click(); }, [this] { togglePause(); }})
{
    wakeUp_.setSingleShot(true);
    wakeUp_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&wakeUp_, &QTimer::timeout, [this] { runDue(); });
    show_.stage().addListener(this);
    show_.stage().setPresenter([this] { window_.presentNow(); });
}

WindowShow::~WindowShow()
{
    show_.stage().removeListener(this);
}

void WindowShow::start()
{
    // The load runs before the window is first shown.
    show_.load();
    window_.show();
    rearm();
}

void WindowShow::onEvent(const Event& event)
{
    if (event.kind == EventKind::Maximise)
        window_.showMaximized();
    else if (event.kind == EventKind::Period)
        rearm();
}

void WindowShow::click()
{
    if (scheduler_.paused())
        return;
    show_.click();
    rearm();
}

void WindowShow::togglePause()
{
    if (scheduler_.paused())
        scheduler_.resume();
    else
        scheduler_.pause();
    window_.setPausedCaption(scheduler_.paused());
    rearm();
}

void WindowShow::runDue()
{
    // One tick per pass of the event loop, so that input that arrived meanwhile goes first.
    if (const std::optional<Timer> timer = scheduler_.takeDue()) {
        show_.tick(*timer);
        window_.requestFrame();
    }
    rearm();
}

void WindowShow::rearm()
{
    // Nothing wakes the program while no timer runs.
    const std::optional<double> due = scheduler_.nextDue();
    if (!due) {
        wakeUp_.stop();
        return;
    }
    const double wait = std::max(0.0, *due - clock_.now());
    wakeUp_.start(static_cast<int>(std::ceil(wait)));
}

int runWindow(const std::optional<QString>& tracePath, std::uint32_t seed)
{
    loadStageFonts();
    WindowShow windowShow(seed, std::cerr);
    std::unique_ptr<TraceWriter> trace;
    if (tracePath) {
        std::string error;
        trace = TraceWriter::open(tracePath->toStdString(), windowShow.clock(), error);
        if (!trace) {
            std::cerr << "quillet3: error: cannot write " << tracePath->toStdString() << ": "
                      << error << '\n';
            return 2;
        }
        trace->start(seed, "window");
        windowShow.show().stage().addListener(trace.get());
    }
    windowShow.start();
    const int status = QApplication::exec();
    if (trace) {
        windowShow.show().stage().removeListener(trace.get());
        if (!trace->finish()) {
            std::cerr << "quillet3: error: cannot write the trace\n";
            return 1;
        }
    }
    return status;
}

} // namespace q3
