#include "formats/jpeg/idct.h"

#include <cmath>

#include "formats/jpeg/kernel_bodies.h"

namespace formats::jpeg {
namespace {

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void sum_basis_avx2(const BlockCoefs& block,
                                                    const BasisTable& table,
                                                    std::int32_t* samples) {
  body::sum(block, table, samples);
}

__attribute__((target("avx512f"))) void sum_basis_avx512(const BlockCoefs& block,
                                                         const BasisTable& table,
                                                         std::int32_t* samples) {
  body::sum(block, table, samples);
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

void sum_basis_generic(const BlockCoefs& block, const BasisTable& table, std::int32_t* samples) {
  body::sum(block, table, samples);
}

SumKernel select_sum_kernel() {
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("avx512f")) return sum_basis_avx512;
  if (__builtin_cpu_supports("avx2")) return sum_basis_avx2;
#endif
  return sum_basis_generic;
}

}  // namespace formats::jpeg
