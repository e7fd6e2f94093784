#pragma once
#include <cstddef>
#include <cstdint>

namespace gridvane {

/// A character without a code page 932 code of its own and the code written in its place: one byte
/// (below 0x100) or lead << 8 | trail. ¥ U+00A5 becomes 0x5C, ¢ U+00A2 0x8191 (￠), é U+00E9 "e".
struct Cp932Substitute {
    std::uint16_t unit;
    std::uint16_t code;
};

/// The system converter's default substitutes (best fit), in ascending order of unit; generated once by
/// scripts/make-cp932-bestfit.sh so that every platform writes the same bytes.
extern const Cp932Substitute kCp932BestFit[];
extern const std::size_t kCp932BestFitCount;
/// FNV-1a (64 bits) over the length and bytes of every UTF-16 unit but the surrogates, each encoded alone
/// as the system converter encodes it by default: the whole encoding, in one number.
extern const std::uint64_t kCp932EncodeChecksum;

} // namespace gridvane
