#pragma once
// What the page's script reaches (page_main.cpp): a front over one player, the live show or a
// still, fed with the page's size, pointer, keys and visibility.

#include "core/captions.h"
#include "core/stage.h"
#include "web/page_trace.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace q3 {

class PageFront
{
public:
    PageFront() = default;
    PageFront(const PageFront&) = delete;
    PageFront& operator=(const PageFront&) = delete;
    virtual ~PageFront() = default;

    // Loads the show and starts it as the options say.
    virtual void start() = 0;
    // The page in CSS pixels and its device pixels per CSS pixel.
    virtual void resize(double cssWidth, double cssHeight, double devicePixelRatio) = 0;
    // A press, a move or a release of the pointer or a touch (`touch`), in CSS pixels
    // (q3_pointer's numbers).
    enum class Pointer : std::uint8_t
    {
        Down,
        Move,
        Up,
    };
    virtual void pointer(Pointer /*what*/, double /*x*/, double /*y*/, bool /*touch*/) {}
    // A key as the browser names it (KeyboardEvent.key); true when the show took it.
    virtual bool key(std::string_view /*name*/, bool /*shift*/, bool /*otherModifiers*/,
                     bool /*repeat*/)
    {
        return false;
    }
    // While the page is hidden the show's time stands still.
    void setHidden(bool hidden)
    {
        hidden_ = hidden;
        pausedChanged();
    }
    // The timer the front set has fired.
    virtual void runDue() {}
    // The display refreshes.
    virtual void frame() = 0;

    // The script's controls, as a video element's.
    [[nodiscard]] virtual double currentTime() const = 0;
    [[nodiscard]] bool paused() const { return userPaused_; }
    virtual void play()
    {
        userPaused_ = false;
        pausedChanged();
    }
    void pause()
    {
        userPaused_ = true;
        pausedChanged();
    }
    virtual void seek(double /*ms*/) {}
    [[nodiscard]] const std::string& trace() const { return trace_.text(); }

protected:
    // The viewer's or the script's pause, or the page hidden: the player pauses.
    [[nodiscard]] bool pausedNow() const { return userPaused_ || hidden_; }
    virtual void pausedChanged() = 0;

    // The live region hears of each caption that comes on screen.
    void announceCaptions(const Stage& stage, double at);

    PageTrace trace_;

private:
    CaptionFollow captions_;
    bool userPaused_ = false;
    bool hidden_ = false;
};

} // namespace q3
