#pragma once

#include <QtGlobal>

namespace zandrel {

// Fuzzing builds (fuzz/, built with the customary FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION) run
// instrumented code tens of times slower than the program and must still try a hundred inputs a
// second. The allowances that bound the work of one drawing are divided by this there: what runs
// past them is left out as in the program, only much sooner.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
inline constexpr qint64 kFuzzingAllowanceDivisor = 1024;
inline constexpr bool kFuzzingBuild = true;
#else
inline constexpr qint64 kFuzzingAllowanceDivisor = 1;
inline constexpr bool kFuzzingBuild = false;
#endif

// An allowance of the program, as the build in use grants it; never none.
constexpr qint64 scaledAllowance(qint64 allowance)
{
    return allowance / kFuzzingAllowanceDivisor > 0 ? allowance / kFuzzingAllowanceDivisor : 1;
}

} // namespace zandrel
