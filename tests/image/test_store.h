// An image store for the geometry tests (resize, flip, rotate, crop): every pixel of both
// planes random, so that reads outside the picture and stray writes show.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "image/compose.h"
#include "image/image_store.h"

namespace img {

struct TestStore {
  ImageStore store;
  ComposeWorkspace workspace;

  TestStore(std::int32_t maxh, std::int32_t maxv, std::int32_t w, std::int32_t h,
            unsigned seed = 1) {
    std::string error;
    EXPECT_TRUE(store.allocate(maxh, maxv, error)) << error;
    EXPECT_TRUE(workspace.reserve(maxh, maxh));
    std::mt19937 rng(seed);
    for (std::int32_t y = 0; y < maxv; ++y) {
      for (std::int32_t x = 0; x < maxh; ++x) store.working().at(x, y) = rng() & 0xFFFFFF;
    }
    store.width = w;
    store.height = h;
  }
  Pixel at(std::int32_t x, std::int32_t y) const { return store.working().at(x, y); }
  void set(std::int32_t x, std::int32_t y, Pixel p) { store.working().at(x, y) = p; }
  std::vector<Pixel> plane() const {
    const Pixel* p = store.working().px;
    return {p, p + std::size_t(store.maxh) * store.maxv};
  }
};

}  // namespace img
