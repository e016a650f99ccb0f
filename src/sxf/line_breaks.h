// Counting the lines of a drawing file's text, as both readers count them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dlvr::sxf {

// The line breaks in `s` (LF, CR LF, or a lone CR, as in files written on
// any system); `afterCr` tells that the byte before `s` was a CR, whose LF
// is no line of its own, and is left telling it of the last byte of `s`.
// Counted many bytes at a time: each CR is a break, and each LF that does
// not follow a CR.
inline long LineBreaks(std::string_view s, bool& afterCr) {
  if (s.empty()) return 0;
  const char* p = s.data();
  const std::size_t size = s.size();
  long n = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
  __m128i crBefore = afterCr ? _mm_set1_epi8(-1) : _mm_setzero_si128();  // its last byte
  while (size - i >= 16) {
    // Each byte of `sums` counts the breaks at its place in up to 255 blocks.
    __m128i sums = _mm_setzero_si128();
    for (int k = 0; k < 255 && size - i >= 16; ++k, i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      const __m128i crs = _mm_cmpeq_epi8(v, cr);
      const __m128i afterCrs = _mm_or_si128(_mm_slli_si128(crs, 1), _mm_srli_si128(crBefore, 15));
      sums = _mm_sub_epi8(sums, _mm_or_si128(crs, _mm_andnot_si128(afterCrs, _mm_cmpeq_epi8(v, lf))));
      crBefore = crs;
    }
    const __m128i total = _mm_sad_epu8(sums, _mm_setzero_si128());
    n += _mm_cvtsi128_si32(total) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(total, total));
  }
#elif defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  // A high bit in each byte of `w` that is zero.
  auto zeroBytes = [](std::uint64_t w) { return ~(((w & kLow7) + kLow7) | w | kLow7); };
  std::uint64_t crBefore = afterCr ? std::uint64_t{1} << 63 : 0;  // its last byte's high bit
  while (size - i >= 8) {
    std::uint64_t sums = 0;
    for (int k = 0; k < 255 && size - i >= 8; ++k, i += 8) {
      std::uint64_t w;
      std::memcpy(&w, p + i, 8);  // the first byte lowest
      const std::uint64_t crs = zeroBytes(w ^ (kOnes * '\r'));
      const std::uint64_t afterCrs = (crs << 8) | (crBefore >> 56);
      sums += (crs | (zeroBytes(w ^ (kOnes * '\n')) & ~afterCrs)) >> 7;
      crBefore = crs;
    }
    constexpr std::uint64_t kEvenBytes = 0x00FF00FF00FF00FFULL;
    const std::uint64_t pairs = (sums & kEvenBytes) + ((sums >> 8) & kEvenBytes);
    n += static_cast<long>((pairs * 0x0001000100010001ULL) >> 48);
  }
#endif
  bool before = i > 0 ? p[i - 1] == '\r' : afterCr;
  for (; i < size; ++i) {
    const char c = p[i];
    if (c == '\r' || (c == '\n' && !before)) ++n;
    before = c == '\r';
  }
  afterCr = p[size - 1] == '\r';
  return n;
}

}  // namespace dlvr::sxf
