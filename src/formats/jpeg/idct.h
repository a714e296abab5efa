// The inverse DCT as a sum of basis images: the 64 x 64 table of weights in units of
// 2^-18, built once, and the kernels that add weighted basis images into a block.
#pragma once

#include <cstdint>

#include "formats/jpeg/tables.h"

namespace formats::jpeg {

struct alignas(64) BasisTable {
  std::int32_t w[64][64];  // w[d][j]: weight of natural coefficient d in sample j
};

// Builds the table in single precision: entry = 65536 * (s * cos_u) * cos_v rounded to
// the nearest integer, halves to even.
void build_basis_table(BasisTable& table);

// samples[j] = sum over d of coef[d] * w[d][j] in 32-bit two's complement; coef in
// natural order. The straightforward version, kept as the oracle for the fast one.
void sum_basis_reference(const std::int16_t* coef, const BasisTable& table, std::int32_t* samples);

// The same sum over the listed coefficients of a block. `samples` must be 64-byte aligned.
// (The placement of MCU rows inlines the same body; these calls check it one block at a time.)
using SumKernel = void (*)(const BlockCoefs& block, const BasisTable& table, std::int32_t* samples);

void sum_basis_generic(const BlockCoefs& block, const BasisTable& table, std::int32_t* samples);

// The fastest kernel this processor runs.
SumKernel select_sum_kernel();

}  // namespace formats::jpeg
