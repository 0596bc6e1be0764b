#pragma once

#include <stdexcept>
#include <string>

namespace q3 {

// An error that ends the running handler at the step that raised it. What the handler did
// before that step stays done.
class StageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A 16-bit sum or difference left the range -32768..32767.
class OverflowError : public StageError
{
public:
    OverflowError() : StageError("overflow") {}
};

} // namespace q3
