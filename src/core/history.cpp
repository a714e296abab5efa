#include "core/history.h"

#include <algorithm>
#include <cstring>

namespace core {

std::size_t History::State::bytes() const {
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * sizeof(img::Pixel);
}

bool History::allocate(std::size_t bytes) {
  clear();
  return arena_.allocate(bytes);
}

void History::clear() {
  count_ = 0;
  live_ = -1;
  refused_live_ = -1;
  pushed_ = false;
}

int History::undo_levels() const {
  return live_ >= 0 ? live_ : count_;
}

int History::redo_levels() const {
  return live_ >= 0 ? count_ - 1 - live_ : 0;
}

void History::drop_oldest() {
  std::move(states_.begin() + 1, states_.begin() + count_, states_.begin());
  --count_;
  if (live_ >= 0) --live_;
}

bool History::push(const img::ImageStore& store, const img::ViewState& view) {
  State s;
  s.width = store.width;
  s.height = store.height;
  s.view = view;
  const std::size_t need = s.bytes();
  if (need > arena_.size() || need == 0) {
    clear();
    return false;
  }
  if (count_ == kMaxStates) drop_oldest();
  std::size_t end = count_ > 0 ? states_[count_ - 1].offset + states_[count_ - 1].bytes() : 0;
  if (arena_.size() - end < need) {
    // Make room at the end: the oldest states go, the rest move to the arena's start.
    while (count_ > 0) {
      const std::size_t first = states_[0].offset;
      if (arena_.size() - (end - first) >= need) break;
      drop_oldest();
    }
    auto* base = static_cast<std::uint8_t*>(arena_.data());
    const std::size_t first = count_ > 0 ? states_[0].offset : end;
    if (first > 0) {
      std::memmove(base, base + first, end - first);
      for (int i = 0; i < count_; ++i) states_[i].offset -= first;
    }
    end -= first;
  }
  s.offset = end;
  auto* out = reinterpret_cast<img::Pixel*>(static_cast<std::uint8_t*>(arena_.data()) + end);
  const img::ConstPlane in = store.working();
  for (std::int32_t y = 0; y < s.height; ++y) {
    std::copy_n(in.row(y), s.width, out + static_cast<std::size_t>(y) * s.width);
  }
  states_[count_++] = s;
  return true;
}

void History::before_change(const img::ImageStore& store, const img::ViewState& view) {
  refused_live_ = live_;
  pushed_ = false;
  if (live_ >= 0) {
    count_ = live_ + 1;  // the states redo could reach are gone
  } else if (store.has_picture()) {
    pushed_ = push(store, view);
  }
  live_ = -1;
}

void History::change_refused() {
  if (pushed_) --count_;
  pushed_ = false;
  live_ = refused_live_;
}

void History::restore(int index, img::ImageStore& store, img::ViewState& view) {
  const State& s = states_[index];
  const auto* in = reinterpret_cast<const img::Pixel*>(
      static_cast<const std::uint8_t*>(arena_.data()) + s.offset);
  const img::Plane out = store.working();
  for (std::int32_t y = 0; y < s.height; ++y) {
    std::copy_n(in + static_cast<std::size_t>(y) * s.width, s.width, out.row(y));
  }
  store.width = s.width;
  store.height = s.height;
  view = s.view;
  live_ = index;
}

bool History::undo(img::ImageStore& store, img::ViewState& view) {
  if (live_ < 0) {
    // The picture changed since the newest state: keep it so that redo can come back to it.
    if (count_ == 0 || !push(store, view)) return false;
    if (count_ < 2) {  // the older states gave way to it
      clear();
      return false;
    }
    live_ = count_ - 1;
  }
  if (live_ == 0) return false;
  restore(live_ - 1, store, view);
  return true;
}

bool History::redo(img::ImageStore& store, img::ViewState& view) {
  if (live_ < 0 || live_ + 1 >= count_) return false;
  restore(live_ + 1, store, view);
  return true;
}

}  // namespace core
