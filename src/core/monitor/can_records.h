#pragma once

// What the CAN scanner reports: one frame ("CANMES") and the buffer of the last frames ("CANBUF").

#include <cstdint>

namespace rv {

struct CanMessage { uint32_t frame = 0, id = 0, dataA = 0, dataB = 0; };
struct CanRecord { uint32_t id = 0, dataA = 0, dataB = 0; };
inline constexpr int kCanBufRecords = 40;

} // namespace rv
