#pragma once

#include <iosfwd>

namespace q3 {

// How far a recording has got, on the error stream: a bar redrawn in place on a terminal, a line
// at every tenth elsewhere (logs, pipes), or nothing.
class Progress
{
public:
    enum class Style
    {
        Bar,
        Lines,
        Silent,
    };

    // The bar where `out` is a terminal, lines where it is not, nothing when quiet.
    [[nodiscard]] static Style styleFor(bool quiet, bool terminal);

    Progress(std::ostream& out, Style style, double totalMs);

    // The show's length, once it is known better than at the start.
    void setTotal(double totalMs);
    // `doneMs` of show time recorded after `elapsedSeconds` of real time.
    void update(double doneMs, double elapsedSeconds);
    // Leaves the bar's line complete.
    void finish();

private:
    void drawBar(double doneMs, double elapsedSeconds);

    std::ostream& out_;
    Style style_;
    double totalMs_;
    int tenthsShown_ = 0;
    double lastDrawn_ = -1;
    bool drawn_ = false;
};

} // namespace q3
