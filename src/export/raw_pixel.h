#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

// One picture cell packed as bytes: red, green, blue, alpha, in this order in memory.
// An array of them is the byte buffer an RGBA image is built from, so it may hold no padding.
struct RawPixel {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    uint8_t a = 0;

    bool operator==(const RawPixel&) const = default;
};

static_assert(sizeof(RawPixel) == 4, "RawPixel must be exactly four bytes");
static_assert(alignof(RawPixel) == 1, "RawPixel arrays must be plain byte buffers");
static_assert(std::is_standard_layout_v<RawPixel> && std::is_trivially_copyable_v<RawPixel>);
static_assert(offsetof(RawPixel, r) == 0 && offsetof(RawPixel, g) == 1 &&
              offsetof(RawPixel, b) == 2 && offsetof(RawPixel, a) == 3);
