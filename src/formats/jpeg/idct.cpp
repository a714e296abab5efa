#include "formats/jpeg/idct.h"

#include <cmath>
#include <cstring>

#include "formats/jpeg/kernel_bodies.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace formats::jpeg {
namespace {

#if defined(__x86_64__) || defined(__i386__)
// A coefficient times a weight as f * floor(w / 2) + f * (w - floor(w / 2)) in one 16-bit
// multiply-and-add: exact, as neither product nor their sum reaches 2^31.
__attribute__((target("avx2"))) void sum_basis_pairs_avx2(const BlockCoefs& block,
                                                          const BasisTable& table,
                                                          std::int32_t* samples) {
  __m256i a0, a1, a2, a3, a4, a5, a6, a7;
  int k = 0;
  if (block.count > 0 && block.pos[0] == 0) {
    a0 = _mm256_set1_epi32(static_cast<std::int32_t>(
        static_cast<std::uint32_t>(static_cast<std::int32_t>(block.value[0])) << 15));
    a1 = a2 = a3 = a4 = a5 = a6 = a7 = a0;
    k = 1;
  } else {
    a0 = a1 = a2 = a3 = a4 = a5 = a6 = a7 = _mm256_setzero_si256();
  }
  for (; k < block.count; ++k) {
    const auto f = static_cast<std::uint16_t>(block.value[k]);
    const __m256i ff = _mm256_set1_epi32(static_cast<std::int32_t>((std::uint32_t{f} << 16) | f));
    const __m256i* b = reinterpret_cast<const __m256i*>(table.halves[block.pos[k]]);
    a0 = _mm256_add_epi32(a0, _mm256_madd_epi16(ff, _mm256_load_si256(b + 0)));
    a1 = _mm256_add_epi32(a1, _mm256_madd_epi16(ff, _mm256_load_si256(b + 1)));
    a2 = _mm256_add_epi32(a2, _mm256_madd_epi16(ff, _mm256_load_si256(b + 2)));
    a3 = _mm256_add_epi32(a3, _mm256_madd_epi16(ff, _mm256_load_si256(b + 3)));
    a4 = _mm256_add_epi32(a4, _mm256_madd_epi16(ff, _mm256_load_si256(b + 4)));
    a5 = _mm256_add_epi32(a5, _mm256_madd_epi16(ff, _mm256_load_si256(b + 5)));
    a6 = _mm256_add_epi32(a6, _mm256_madd_epi16(ff, _mm256_load_si256(b + 6)));
    a7 = _mm256_add_epi32(a7, _mm256_madd_epi16(ff, _mm256_load_si256(b + 7)));
  }
  __m256i* out = reinterpret_cast<__m256i*>(samples);
  _mm256_store_si256(out + 0, a0);
  _mm256_store_si256(out + 1, a1);
  _mm256_store_si256(out + 2, a2);
  _mm256_store_si256(out + 3, a3);
  _mm256_store_si256(out + 4, a4);
  _mm256_store_si256(out + 5, a5);
  _mm256_store_si256(out + 6, a6);
  _mm256_store_si256(out + 7, a7);
}

// The same with 16 samples to a register: half the instructions.
__attribute__((target("avx512f,avx512bw"))) void sum_basis_pairs_avx512(const BlockCoefs& block,
                                                                        const BasisTable& table,
                                                                        std::int32_t* samples) {
  __m512i a0, a1, a2, a3;
  int k = 0;
  if (block.count > 0 && block.pos[0] == 0) {
    a0 = _mm512_set1_epi32(static_cast<std::int32_t>(
        static_cast<std::uint32_t>(static_cast<std::int32_t>(block.value[0])) << 15));
    a1 = a2 = a3 = a0;
    k = 1;
  } else {
    a0 = a1 = a2 = a3 = _mm512_setzero_si512();
  }
  for (; k < block.count; ++k) {
    const auto f = static_cast<std::uint16_t>(block.value[k]);
    const __m512i ff = _mm512_set1_epi32(static_cast<std::int32_t>((std::uint32_t{f} << 16) | f));
    const __m512i* b = reinterpret_cast<const __m512i*>(table.halves[block.pos[k]]);
    a0 = _mm512_add_epi32(a0, _mm512_madd_epi16(ff, _mm512_load_si512(b + 0)));
    a1 = _mm512_add_epi32(a1, _mm512_madd_epi16(ff, _mm512_load_si512(b + 1)));
    a2 = _mm512_add_epi32(a2, _mm512_madd_epi16(ff, _mm512_load_si512(b + 2)));
    a3 = _mm512_add_epi32(a3, _mm512_madd_epi16(ff, _mm512_load_si512(b + 3)));
  }
  __m512i* out = reinterpret_cast<__m512i*>(samples);
  _mm512_store_si512(out + 0, a0);
  _mm512_store_si512(out + 1, a1);
  _mm512_store_si512(out + 2, a2);
  _mm512_store_si512(out + 3, a3);
}
#endif

}  // namespace

void build_basis_table(BasisTable& table) {
  constexpr float kPi = 3.1415926f;
  constexpr float kHalfRoot = 0.707107f;
  for (int v = 0; v < 8; ++v) {
    for (int u = 0; u < 8; ++u) {
      float s = 1.0f;
      if (u == 0) s *= kHalfRoot;
      if (v == 0) s *= kHalfRoot;
      for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
          // Each step is rounded to single precision; the cosine is the float nearest to
          // the cosine of its float argument.
          const float pu = kPi * static_cast<float>(u);
          const float au = pu * static_cast<float>(2 * x + 1) / 16.0f;
          const float pv = kPi * static_cast<float>(v);
          const float av = pv * static_cast<float>(2 * y + 1) / 16.0f;
          const auto cu = static_cast<float>(std::cos(static_cast<double>(au)));
          const auto cv = static_cast<float>(std::cos(static_cast<double>(av)));
          const float su = s * cu;
          const float t = su * cv;
          // 65536 * t is exact; nearbyint rounds halves to even.
          const auto w =
              static_cast<std::int32_t>(std::nearbyint(65536.0 * static_cast<double>(t)));
          table.w[v * 8 + u][y * 8 + x] = w;
          const std::int32_t low = w >> 1;  // floor(w / 2)
          table.halves[v * 8 + u][y * 8 + x] = static_cast<std::int32_t>(
              (static_cast<std::uint32_t>(w - low) << 16) | static_cast<std::uint16_t>(low));
        }
      }
    }
  }
}

void sum_basis_reference(const std::int16_t* coef, const BasisTable& table, std::int32_t* samples) {
  std::uint32_t acc[64] = {};
  for (int d = 0; d < 64; ++d) {
    if (coef[d] == 0) continue;
    const auto f = static_cast<std::uint32_t>(static_cast<std::int32_t>(coef[d]));
    for (int j = 0; j < 64; ++j) acc[j] += f * static_cast<std::uint32_t>(table.w[d][j]);
  }
  for (int j = 0; j < 64; ++j) samples[j] = static_cast<std::int32_t>(acc[j]);
}

void sum_basis_generic(const BlockCoefs& block, const BasisTable& table, std::int32_t* samples) {
  body::sum(block, table, samples);
}

SumKernel select_sum_kernel() {
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("avx512bw")) return sum_basis_pairs_avx512;
  if (__builtin_cpu_supports("avx2")) return sum_basis_pairs_avx2;
#endif
  return sum_basis_generic;
}

}  // namespace formats::jpeg
