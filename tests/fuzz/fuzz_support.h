// What every fuzz target needs: a check that crashes the run (so libFuzzer
// keeps the input) when an invariant breaks.
#pragma once

#include <cstdlib>

namespace cc::fuzz {

inline void require(bool condition) {
  if (!condition)
    std::abort();
}

}  // namespace cc::fuzz
