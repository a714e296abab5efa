// The constant menu table: every item of the menu bar (panel 0) and of the drop-downs
// (panels 1 to 9), with the panels' home cells.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace core {

enum class Kind : std::uint8_t {
  kLabel = 0,
  kOpener = 1,
  kCheckBox = 2,
  kCommand = 3,
  kShownValue = 4,
  kEditedValue = 5,
};

enum class Command : std::uint8_t {
  kQuit = 0,
  kOpen = 1,
  kSave = 2,
  kSaveAs24 = 3,
  kClose = 4,
  kOriginalSize = 5,
  kFlipX = 6,
  kFlipY = 7,
  kBenchmark = 8,
  kConfirm = 9,
  kFitToScreen = 10,
  kSaveAs15 = 11,
  kSaveAs8 = 12,
};

struct MenuItem {
  std::string_view label;  // exactly 16 characters, blank-padded
  char hotkey;             // 0 for none
  std::uint8_t width;
  Kind kind;
  std::uint8_t argument;  // panel, option bit, command number or value slot
};

struct Panel {
  std::uint8_t number;
  std::uint8_t home_column;
  std::uint8_t home_row;
  std::span<const MenuItem> items;
};

constexpr int kPanelCount = 10;  // 0 is the menu bar
constexpr int kMenuBarRow = 2;

// Panel p (0 to 9).
const Panel& panel(int p);

// Option bits.
namespace option {
constexpr int kLockView = 0, kCropTool = 1, kAdjustColor = 3, kDithering = 4, kFloydSteinberg = 5,
              kMultipalette = 6, kUsePalette = 7, kAdjustDepth = 8, kAutomatic = 9,
              kIntensityBit = 10, kGreyscale = 11;
}  // namespace option

// Value slots.
namespace slot {
constexpr int kWidth = 0, kHeight = 1, kHOffset = 2, kVOffset = 3, kNewX = 4, kNewY = 5,
              kContrast = 6, kBrightness = 7, kRedAdd = 8, kGreenAdd = 9, kBlueAdd = 10,
              kRedLevels = 11, kGreenLevels = 12, kBlueLevels = 13, kPalSize = 15, kPalCount = 19,
              kDebug1 = 20, kDebug2 = 21, kDebug3 = 22, kFirstReal = 50, kAspect = 50,
              kScaling = 51, kAngle = 52;
}  // namespace slot

}  // namespace core
