#include "core/event_json.h"

#include "core/clock.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <iomanip>
#include <locale>
#include <sstream>
#include <string_view>

namespace q3 {
namespace {

void appendInt(std::string& out, int value)
{
    out += std::to_string(value);
}

void appendRgb(std::string& out, std::string_view key, Rgb c)
{
    out += ",\"";
    out += key;
    out += "\":[";
    appendInt(out, c.r);
    out += ',';
    appendInt(out, c.g);
    out += ',';
    appendInt(out, c.b);
    out += ']';
}

void appendPoint(std::string& out, std::string_view key, int x, int y)
{
    out += ",\"";
    out += key;
    out += "\":[";
    appendInt(out, x);
    out += ',';
    appendInt(out, y);
    out += ']';
}

void appendString(std::string& out, std::string_view text)
{
    out += '"';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (c < 0x20) {
                std::array<char, 8> escaped{};
                std::snprintf(escaped.data(), escaped.size(), "\\u%04x", c);
                out += escaped.data();
            } else {
                out += ch;
            }
        }
    }
    out += '"';
}

void appendField(std::string& out, std::string_view key, std::string_view text)
{
    out += ",\"";
    out += key;
    out += "\":";
    appendString(out, text);
}

// Shortest decimal that reads back as the same double: font sizes such as 20.25 or 160. Written
// and read with a point whatever the locale, as JSON needs. The classic locale's streams write
// what printf's %.*g writes in the C locale, on every C++ library, floating-point to_chars or
// not.
std::string formatNumber(double value)
{
    if (value == std::floor(value) && std::abs(value) < 1e15)
        return std::to_string(static_cast<long long>(value));
    std::ostringstream out;
    out.imbue(std::locale::classic());
    std::istringstream in;
    in.imbue(std::locale::classic());
    std::string text;
    for (int precision = 1; precision <= 17; ++precision) {
        out.str({});
        out << std::setprecision(precision) << value;
        text = out.str();
        in.clear();
        in.str(text);
        double back = 0;
        in >> back;
        if (back == value)
            break;
    }
    return text;
}

// A time with `decimals` digits after the point, rounded as printf rounds it.
void appendFixed(std::string& out, double value, int decimals)
{
    if (decimals == 0 && value == std::floor(value) && std::abs(value) < 1e15) {
        out += std::to_string(static_cast<long long>(value));
        return;
    }
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << std::fixed << std::setprecision(decimals) << value;
    out += text.str();
}

void appendKind(std::string& out, std::string_view kind)
{
    out += "{\"ev\":\"";
    out += kind;
    out += '"';
}

// The show's own events: the load, clicks, ticks, clearing, timers, pauses and errors.
void appendShowEvent(std::string& out, const Event& e)
{
    switch (e.kind) {
    case EventKind::Load:
        appendKind(out, "load");
        break;
    case EventKind::Click:
        appendKind(out, "click");
        break;
    case EventKind::Tick:
        appendKind(out, "tick");
        appendField(out, "timer", name(e.timer));
        if (e.timer == Timer::tmrTime) {
            out += ",\"cue\":";
            appendInt(out, e.cue);
        }
        break;
    case EventKind::Clear:
        appendKind(out, "clear");
        break;
    case EventKind::Period:
        appendKind(out, "period");
        appendField(out, "timer", name(e.timer));
        out += ",\"ms\":";
        appendInt(out, e.periodMs);
        break;
    case EventKind::Maximise:
        appendKind(out, "maximise");
        break;
    case EventKind::Pause:
        appendKind(out, "pause");
        break;
    case EventKind::Error:
        appendKind(out, "error");
        appendField(out, "handler", e.handler);
        appendField(out, "error", e.text);
        break;
    default:
        break;
    }
}

// What is drawn on the surface.
void appendShape(std::string& out, const Event& e)
{
    switch (e.kind) {
    case EventKind::Background:
        appendKind(out, "background");
        appendRgb(out, "rgb", e.rgb);
        break;
    case EventKind::Fill:
        appendKind(out, "fill");
        appendRgb(out, "rgb", e.rgb);
        break;
    case EventKind::Line:
        appendKind(out, "line");
        appendPoint(out, "p1", e.p1.x, e.p1.y);
        appendPoint(out, "p2", e.p2.x, e.p2.y);
        appendRgb(out, "rgb", e.rgb);
        if (e.fore)
            out += ",\"fore\":true";
        break;
    case EventKind::Box:
        appendKind(out, "box");
        appendPoint(out, "p1", e.p1.x, e.p1.y);
        appendPoint(out, "p2", e.p2.x, e.p2.y);
        appendRgb(out, "rgb", e.rgb);
        appendRgb(out, "fill", e.fill);
        break;
    case EventKind::Circle:
        appendKind(out, "circle");
        appendPoint(out, "c", e.p1.x, e.p1.y);
        out += ",\"r\":";
        appendInt(out, e.radius);
        appendRgb(out, "rgb", e.rgb);
        appendRgb(out, "fill", e.fill);
        if (e.fore)
            out += ",\"fore\":true";
        break;
    default:
        break;
    }
}

// What changes on the controls.
void appendControlChange(std::string& out, const Event& e)
{
    switch (e.kind) {
    case EventKind::Show:
    case EventKind::Hide:
        appendKind(out, e.kind == EventKind::Show ? "show" : "hide");
        appendField(out, "control", name(e.control));
        break;
    case EventKind::Caption:
        appendKind(out, "caption");
        appendField(out, "control", name(e.control));
        appendField(out, "text", e.text);
        break;
    case EventKind::BackColor:
        appendKind(out, "backcolor");
        appendField(out, "control", name(e.control));
        appendRgb(out, "rgb", e.rgb);
        break;
    case EventKind::FontSize:
        appendKind(out, "fontsize");
        appendField(out, "control", name(e.control));
        out += ",\"pt\":";
        out += formatNumber(e.pointSize);
        break;
    default:
        break;
    }
}

// Times of the wall clock to the microsecond, as the trace writes them.
std::string formatMs(double ms)
{
    return formatNumber(std::round(ms * 1000) / 1000);
}

// The viewer's steering.
void appendSteering(std::string& out, const Event& e)
{
    switch (e.kind) {
    case EventKind::Seek:
        appendKind(out, "seek");
        out += ",\"from\":" + formatMs(e.fromMs) + ",\"to\":" + formatMs(e.toMs);
        break;
    case EventKind::Speed:
        appendKind(out, "speed");
        out += ",\"x\":" + formatNumber(e.speed);
        break;
    case EventKind::Loop:
        appendKind(out, "loop");
        out += e.on ? ",\"on\":true" : ",\"on\":false";
        break;
    default:
        break;
    }
}

} // namespace

std::string toJson(const Event& e)
{
    std::string out;
    out.reserve(96);
    switch (e.kind) {
    case EventKind::Load:
    case EventKind::Click:
    case EventKind::Tick:
    case EventKind::Clear:
    case EventKind::Period:
    case EventKind::Maximise:
    case EventKind::Pause:
    case EventKind::Error:
        appendShowEvent(out, e);
        break;
    case EventKind::Background:
    case EventKind::Fill:
    case EventKind::Line:
    case EventKind::Box:
    case EventKind::Circle:
        appendShape(out, e);
        break;
    case EventKind::Show:
    case EventKind::Hide:
    case EventKind::Caption:
    case EventKind::BackColor:
    case EventKind::FontSize:
        appendControlChange(out, e);
        break;
    case EventKind::Seek:
    case EventKind::Speed:
    case EventKind::Loop:
        appendSteering(out, e);
        break;
    }
    out += '}';
    return out;
}

std::string startJson(std::uint32_t seed, std::string_view mode)
{
    return "{\"ev\":\"start\",\"seed\":" + std::to_string(seed) + ",\"mode\":\"" +
           std::string(mode) + "\"}";
}

int traceDecimals(const Clock& clock)
{
    return clock.isVirtual() ? 0 : 3;
}

void appendTraceLine(std::string& out, double ms, int decimals, std::string_view json)
{
    out += "{\"t\":";
    appendFixed(out, ms, decimals);
    out += ',';
    out += json.substr(1); // the object's own "{" is replaced by the time
    out += '\n';
}

void appendTraceLine(std::string& out, double ms, int decimals, const Event& event)
{
    appendTraceLine(out, ms, decimals, toJson(event));
}

} // namespace q3
