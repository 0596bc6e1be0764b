#pragma once
// What the page's script does for the front (page_library.js): the canvas, the timers, the
// live region, the title, the notice and the error line. Sizes and places are in device pixels
// of the canvas.

#include <cstdint>

extern "C" {
// The one error line, shown instead of the show.
void q3js_error(const char* line);
// A line for the console's warnings.
void q3js_warning(const char* line);
// Calls back q3_run after `ms` (none when negative), replacing the wait set before.
void q3js_set_timer(double ms);
// Calls back q3_frame at the next display refresh.
void q3js_request_frame();
// Gives the canvas this many pixels each way (clearing it); CSS stretches them over the page.
void q3js_canvas_size(int width, int height);
// Copies `w` x `h` pixels of RGBA bytes (a row after the other) to (x, y) of the canvas.
void q3js_blit(const std::uint8_t* rgba, int x, int y, int w, int h);
// Fills a rectangle in a colour 0xRRGGBB, with alpha 0 to 255.
void q3js_fill(int x, int y, int w, int h, int rgb, int alpha);
// Limits what is painted to a rectangle until q3js_unclip.
void q3js_clip(int x, int y, int w, int h);
void q3js_unclip();
// Text in a CSS font at (x, y), its baseline, in device pixels.
void q3js_text(const char* font, int rgb, double x, double y, const char* text);
// Width of `text` in a CSS font, in CSS pixels of that font's size.
double q3js_measure(const char* font, const char* text);
// Ascent and descent of a CSS font's lines.
double q3js_ascent(const char* font);
double q3js_descent(const char* font);
// A duckling picture (0: imgDuck, 1: imgDuck2), scaled smoothly to the rectangle.
void q3js_picture(int which, int x, int y, int w, int h);
// A duckling picture in hard pixels: device pixel (x + i, y + j) of the rectangle shows the
// picture's pixel (columns[i], rows[j]).
void q3js_picture_blocks(int which, int x, int y, int w, int h, const int* columns,
                         const int* rows);
// A caption that has come on screen, for the live region.
void q3js_caption(const char* text);
// The page's title: the window's caption.
void q3js_title(const char* text);
// What the viewer changed (the speed, the quality, the loop, the pause), shown briefly on the
// page.
void q3js_notice(const char* text);
// Fullscreen on or off.
void q3js_toggle_fullscreen();
}
