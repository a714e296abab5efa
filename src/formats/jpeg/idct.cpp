#include "formats/jpeg/idct.h"

#include <cmath>
#include <cstring>

namespace formats::jpeg {
namespace {

using V8 = std::uint32_t __attribute__((vector_size(32), may_alias));

// Shared body of the kernels; compiled once per instruction set by its callers.
[[gnu::always_inline]] inline void sum_body(const std::int16_t* coef, const std::uint8_t* nonzero,
                                            int count, const BasisTable& table,
                                            std::int32_t* samples) {
  V8 acc[8];
  int k = 0;
  if (count > 0 && nonzero[0] == 0) {
    // Every weight of the DC coefficient is 32768: its basis image is flat.
    const auto f = static_cast<std::uint32_t>(static_cast<std::int32_t>(coef[0]));
    const V8 flat = V8{} + (f << 15);
    for (V8& a : acc) a = flat;
    k = 1;
  } else {
    for (V8& a : acc) a = V8{};
  }
  for (; k < count; ++k) {
    const int d = nonzero[k];
    // Unsigned arithmetic wraps like the two's-complement sums it stands for.
    const auto f = static_cast<std::uint32_t>(static_cast<std::int32_t>(coef[d]));
    const V8* b = reinterpret_cast<const V8*>(table.w[d]);
    for (int i = 0; i < 8; ++i) acc[i] += b[i] * f;
  }
  V8* out = reinterpret_cast<V8*>(samples);
  for (int i = 0; i < 8; ++i) out[i] = acc[i];
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void sum_basis_avx2(const std::int16_t* coef,
                                                    const std::uint8_t* nonzero, int count,
                                                    const BasisTable& table,
                                                    std::int32_t* samples) {
  sum_body(coef, nonzero, count, table, samples);
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
          table.w[v * 8 + u][y * 8 + x] =
              static_cast<std::int32_t>(std::nearbyint(65536.0 * static_cast<double>(t)));
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

void sum_basis_generic(const std::int16_t* coef, const std::uint8_t* nonzero, int count,
                       const BasisTable& table, std::int32_t* samples) {
  sum_body(coef, nonzero, count, table, samples);
}

SumKernel select_sum_kernel() {
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("avx2")) return sum_basis_avx2;
#endif
  return sum_basis_generic;
}

}  // namespace formats::jpeg
