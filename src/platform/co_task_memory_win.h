// Memory the platform allocated with CoTaskMemAlloc and handed to the caller
// (arrays, strings), owned so that it is freed on every path out.
#pragma once

#include <objbase.h>

#include <memory>

namespace cc {

struct CoTaskMemDeleter {
  void operator()(void* memory) const { CoTaskMemFree(memory); }
};

template <typename T>
using CoTaskMemory = std::unique_ptr<T, CoTaskMemDeleter>;

}  // namespace cc
