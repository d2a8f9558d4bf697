#pragma once

namespace zandrel {

// The pseudo-random sequence behind the drawing effects, one per thread (the C library's one per
// process, for each thread that draws). Effects reseed it so that a drawing comes out the same
// every time, on whichever thread; the sequence itself is ours and the same on every machine.
class Random {
public:
    static constexpr int kMax = 0x7fffffff;

    static void seed(unsigned value);
    // 0 to kMax inclusive.
    static int next();
};

} // namespace zandrel
