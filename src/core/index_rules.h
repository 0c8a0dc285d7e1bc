#pragma once
// The index rule of every setter that takes a slot, channel or profile-array index: the index is
// tested as an unsigned number, so a negative one is out of range like any other.

#include <cstddef>

namespace tarvelin {

constexpr bool indexInRange(int index, std::size_t count) { return static_cast<unsigned>(index) < count; }

}  // namespace tarvelin
