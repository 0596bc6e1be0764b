#pragma once

#include "core/int16.h"
#include "core/stage.h"

namespace q3 {

// The figure routines every picture is made of. Each disc routine draws its circle with the
// fill colour in force before the call and only then makes its own colour the fill colour: a
// caller that wants a solid disc sets the fill first, and whatever is drawn next is filled
// with the routine's colour.
void DrawBlackDisc(Stage& stage, Int16 x, Int16 y, Int16 radius);
void DrawIvoryDisc(Stage& stage, Int16 x, Int16 y, Int16 radius);
void DrawSkinDisc(Stage& stage, Int16 x, Int16 y, Int16 radius);

// A short white stroke down to the right, for the rain. Positions above 32747 would carry the
// stroke's end past the 16-bit range: the routine raises the overflow error before drawing.
void DrawSparkle(Stage& stage, Int16 x, Int16 y);

inline constexpr Rgb kIvory{255, 255, 245};
inline constexpr Rgb kSkin{235, 185, 130};

} // namespace q3
