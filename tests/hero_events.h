#pragma once
// The shape groups of the hero, moon and sun as the trace must show them, fill colour in force
// at every box and disc included, for comparing whole cues.

#include <initializer_list>
#include <string>
#include <vector>

namespace q3::test {

using Events = std::vector<std::string>;

// The groups one after the other.
inline Events concat(std::initializer_list<Events> parts)
{
    Events out;
    for (const Events& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// std::string("[") rather than "[" + ...: GCC 12 at -O3 wrongly warns (-Wrestrict) about the
// latter.
inline std::string pointJson(int x, int y)
{
    return std::string("[") + std::to_string(x) + "," + std::to_string(y) + "]";
}

inline Events moonAt(int x, int y)
{
    return {
        R"({"ev":"fill","rgb":[255,255,235]})",
        R"({"ev":"circle","c":)" + pointJson(x, y) +
            R"(,"r":750,"rgb":[255,255,245],"fill":[255,255,235]})",
        R"({"ev":"fill","rgb":[255,255,245]})",
    };
}

inline std::string sunRay(int x, int y, int dx, int dy)
{
    return R"({"ev":"line","p1":)" + pointJson(x, y) + R"(,"p2":)" + pointJson(x + dx, y + dy) +
           R"(,"rgb":[255,255,0]})";
}

// The sun anywhere on its path: the disc, then the rays in their fixed order.
inline Events sunAt(int x, int y)
{
    return {
        R"({"ev":"fill","rgb":[255,255,0]})",
        R"({"ev":"circle","c":)" + pointJson(x, y) +
            R"(,"r":750,"rgb":[255,255,245],"fill":[255,255,0]})",
        R"({"ev":"fill","rgb":[255,255,245]})",
        sunRay(x, y, 1000, 1000),
        sunRay(x, y, 1400, 0),
        sunRay(x, y, 0, 1400),
        sunRay(x, y, -1000, -1000),
        sunRay(x, y, -1400, 0),
        sunRay(x, y, 0, -1400),
        sunRay(x, y, -1000, 1000),
        sunRay(x, y, 1000, -1000),
    };
}

// The sun where it rests, upper left, with the ray ends written out.
inline const Events kSunAtRest = {
    R"({"ev":"fill","rgb":[255,255,0]})",
    R"({"ev":"circle","c":[2500,1500],"r":750,"rgb":[255,255,245],"fill":[255,255,0]})",
    R"({"ev":"fill","rgb":[255,255,245]})",
    R"({"ev":"line","p1":[2500,1500],"p2":[3500,2500],"rgb":[255,255,0]})",
    R"({"ev":"line","p1":[2500,1500],"p2":[3900,1500],"rgb":[255,255,0]})",
    R"({"ev":"line","p1":[2500,1500],"p2":[2500,2900],"rgb":[255,255,0]})",
    R"({"ev":"line","p1":[2500,1500],"p2":[1500,500],"rgb":[255,255,0]})",
    R"({"ev":"line","p1":[2500,1500],"p2":[1100,1500],"rgb":[255,255,0]})",
    R"({"ev":"line","p1":[2500,1500],"p2":[2500,100],"rgb":[255,255,0]})",
    R"({"ev":"line","p1":[2500,1500],"p2":[1500,2500],"rgb":[255,255,0]})",
    R"({"ev":"line","p1":[2500,1500],"p2":[3500,500],"rgb":[255,255,0]})",
};

inline const Events kHeroHead = {
    R"({"ev":"fill","rgb":[235,185,130]})",
    R"({"ev":"circle","c":[1500,4500],"r":600,"rgb":[235,185,130],"fill":[235,185,130]})",
    R"({"ev":"fill","rgb":[235,185,130]})",
};

inline const Events kMouthDot = {
    R"({"ev":"fill","rgb":[0,0,0]})",
    R"({"ev":"circle","c":[1500,4800],"r":50,"rgb":[0,0,0],"fill":[0,0,0]})",
    R"({"ev":"fill","rgb":[0,0,0]})",
};

inline const Events kBodyBoxes = {
    R"({"ev":"fill","rgb":[255,255,255]})",
    R"({"ev":"box","p1":[500,5120],"p2":[2500,5620],"rgb":[0,0,0],"fill":[255,255,255]})",
    R"({"ev":"fill","rgb":[100,100,100]})",
    R"({"ev":"box","p1":[500,5600],"p2":[2500,7100],"rgb":[0,0,0],"fill":[100,100,100]})",
};

inline const Events kEyeLines = {
    R"({"ev":"line","p1":[1200,4300],"p2":[1400,4300],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1600,4300],"p2":[1800,4300],"rgb":[0,0,0]})",
};

inline const Events kEyeDots = {
    R"({"ev":"fill","rgb":[0,0,0]})",
    R"({"ev":"circle","c":[1290,4370],"r":30,"rgb":[0,0,0],"fill":[0,0,0]})",
    R"({"ev":"fill","rgb":[0,0,0]})",
    R"({"ev":"fill","rgb":[0,0,0]})",
    R"({"ev":"circle","c":[1690,4370],"r":30,"rgb":[0,0,0],"fill":[0,0,0]})",
    R"({"ev":"fill","rgb":[0,0,0]})",
};

inline const Events kOpenMouth = {
    R"({"ev":"line","p1":[1400,4750],"p2":[1600,4750],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1400,4750],"p2":[1520,4870],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1600,4750],"p2":[1480,4870],"rgb":[0,0,0]})",
};

} // namespace q3::test
