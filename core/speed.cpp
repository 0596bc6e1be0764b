#include "core/speed.h"

#include <locale>
#include <sstream>

namespace q3 {

std::string speedText(double speed)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << speed;
    return out.str();
}

} // namespace q3
