#pragma once

#include <cstdint>

// The sound module's fixed numbers, in one place: every part of the program that reads,
// converts, places or shows samples takes them from here.

namespace melo {

// The sample rate the module plays every part at.
inline constexpr std::int32_t kTargetFreq = 13021;

// The 32 Mbit flash memory the image is built for.
inline constexpr std::int32_t kFlashCapacity = 4194304;
// The last address of the image buffer: twice the capacity, so an image that is too large
// is still assembled, measured and reported.
inline constexpr std::int32_t kFlashLastAddress = 8388608;
// The image buffer's size in bytes (addresses 0 to kFlashLastAddress): no image is larger.
inline constexpr std::int64_t kImageBufferSize = static_cast<std::int64_t>(kFlashLastAddress) + 1;

// The marker byte behind a part's samples: an end part closes its sound with 0, a start or
// loop part with 255.
inline constexpr std::uint8_t kEndMarker = 0;
inline constexpr std::uint8_t kPartMarker = 255;

// The range of a sample in the image: 0 and 255 are the marker bytes, so a sample never
// takes them.
inline constexpr std::uint8_t kMinSample = 1;
inline constexpr std::uint8_t kMaxSample = 254;
// Silence: the middle of the unsigned 8-bit range.
inline constexpr std::uint8_t kSilentSample = 128;

} // namespace melo
