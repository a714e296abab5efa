// Undo and redo of the operations that change the working image (resize, flips, rotation,
// crop). Each picture state is kept once, oldest first, packed from the start of one arena
// set aside at start-up; when a new state does not fit, the oldest give way. Nothing is
// allocated per operation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "image/image_store.h"
#include "image/view.h"

namespace core {

class History {
 public:
  // The most states kept, whatever their size.
  static constexpr int kMaxStates = 64;

  // The memory set aside for a store of maxh x maxv: two whole planes, so that the largest
  // picture can always be undone and redone once; smaller pictures get more levels.
  static std::size_t bytes_for(std::int32_t maxh, std::int32_t maxv) {
    return 2 * static_cast<std::size_t>(maxh) * static_cast<std::size_t>(maxv) * sizeof(img::Pixel);
  }

  // Sets aside `bytes` for the states (zero-filled lazily, so untouched pages cost nothing).
  bool allocate(std::size_t bytes);
  std::size_t capacity() const { return arena_.size(); }

  void clear();
  // Before an operation changes the picture: keeps the picture as it is (with the view) for
  // undo, and forgets what redo could bring back.
  void before_change(const img::ImageStore& store, const img::ViewState& view);
  // The operation announced by before_change was refused and changed nothing.
  void change_refused();

  // Puts the state before (after) the current one into the working image and its size;
  // `view` is given the view it was kept with. False, changing nothing, when there is none.
  bool undo(img::ImageStore& store, img::ViewState& view);
  bool redo(img::ImageStore& store, img::ViewState& view);

  int undo_levels() const;
  int redo_levels() const;

 private:
  struct State {
    std::size_t offset = 0;  // bytes into the arena
    std::int32_t width = 0, height = 0;
    img::ViewState view;
    std::size_t bytes() const;
  };

  // Keeps the picture as the newest state; false when it cannot fit even alone.
  bool push(const img::ImageStore& store, const img::ViewState& view);
  void drop_oldest();
  void restore(int index, img::ImageStore& store, img::ViewState& view);

  img::BigBuffer arena_;
  std::array<State, kMaxStates> states_{};
  int count_ = 0;
  int live_ = -1;          // the state the working image equals, or -1 when changed since
  int refused_live_ = -1;  // live_ as before_change found it, for change_refused
  bool pushed_ = false;    // before_change added the newest state
};

}  // namespace core
