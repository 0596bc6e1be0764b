// Recording the whole show, as `quillet3 --record show.mp4` does, at the default constant rate
// and with --variable-frame-rate. The counter "x real time" is show time over wall time: the aim
// is at least 10 at 1280x960 and a constant 30 frames per second; "MB" is the file's size;
// "CPU s" the CPU time of the whole process, the encoder's threads included (the benchmark's own
// CPU figure is the calling thread's alone).
#include "app/recording.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

double processCpuSeconds()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void recordWholeShow(benchmark::State& state, const char* name, bool variableRate)
{
    QTemporaryDir dir;
    q3::Options options;
    options.headless = true;
    options.recordPath = dir.filePath(QString::fromLatin1(name));
    options.size = {1280, 960};
    options.fps = 30;
    options.variableFrameRate = variableRate;
    options.quiet = true;
    options.overwrite = true;
    constexpr double kShowSeconds = 89.0; // the last cue at 84 s, then 5 s
    const double cpuBefore = processCpuSeconds();
    for (auto _ : state) {
        if (q3::runRecording(options, 1) != 0)
            state.SkipWithError("the recording failed");
    }
    state.counters["CPU s"] = (processCpuSeconds() - cpuBefore) / double(state.iterations());
    state.counters["x real time"] =
        benchmark::Counter(kShowSeconds * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["MB"] = double(QFileInfo(*options.recordPath).size()) / 1e6;
}

void BM_RecordWholeShowMp4(benchmark::State& state)
{
    recordWholeShow(state, "show.mp4", false);
}
BENCHMARK(BM_RecordWholeShowMp4)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_RecordWholeShowMp4Variable(benchmark::State& state)
{
    recordWholeShow(state, "show.mp4", true);
}
BENCHMARK(BM_RecordWholeShowMp4Variable)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_RecordWholeShowWebm(benchmark::State& state)
{
    recordWholeShow(state, "show.webm", false);
}
BENCHMARK(BM_RecordWholeShowWebm)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_RecordWholeShowWebmVariable(benchmark::State& state)
{
    recordWholeShow(state, "show.webm", true);
}
BENCHMARK(BM_RecordWholeShowWebmVariable)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

} // namespace
