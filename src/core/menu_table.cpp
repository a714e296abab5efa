#include "core/menu_table.h"

#include <array>

namespace core {
namespace {

constexpr std::uint8_t command(Command c) {
  return static_cast<std::uint8_t>(c);
}

constexpr MenuItem kMenuBar[] = {
    {"  File          ", 'f', 8, Kind::kOpener, panel_id::kFile},
    {"  Edit          ", 'e', 8, Kind::kOpener, panel_id::kEdit},
    {"  View          ", 'v', 8, Kind::kOpener, panel_id::kView},
    {" Colors         ", 'c', 8, Kind::kOpener, panel_id::kColors},
};

constexpr MenuItem kFile[] = {
    {"---- close -----", '-', 16, Kind::kCommand, command(Command::kClose)},
    {" Open           ", 'o', 16, Kind::kCommand, command(Command::kOpen)},
    {" Save           ", 's', 16, Kind::kCommand, command(Command::kSave)},
    {" save as Bmp 24 ", 'b', 16, Kind::kCommand, command(Command::kSaveAs24)},
    {" save as bMp 15 ", 'm', 16, Kind::kCommand, command(Command::kSaveAs15)},
    {" save as bmP 8  ", 'p', 16, Kind::kCommand, command(Command::kSaveAs8)},
    {" Quit           ", 'q', 16, Kind::kCommand, command(Command::kQuit)},
    {"current image   ", 0, 16, Kind::kLabel, 0},
    {"width           ", 0, 16, Kind::kShownValue, slot::kWidth},
    {"height          ", 0, 16, Kind::kShownValue, slot::kHeight},
};

constexpr MenuItem kEdit[] = {
    {"---- close -----", '-', 16, Kind::kCommand, command(Command::kClose)},
    {"[_] crop Tool   ", 't', 16, Kind::kCheckBox, option::kCropTool},
    {"flip X          ", 'x', 16, Kind::kCommand, command(Command::kFlipX)},
    {"flip Y          ", 'y', 16, Kind::kCommand, command(Command::kFlipY)},
    {"Benchmark       ", 'b', 16, Kind::kCommand, command(Command::kBenchmark)},
    {"Rotate image    ", 'r', 16, Kind::kOpener, panel_id::kRotate},
    {"reSize image    ", 's', 16, Kind::kOpener, panel_id::kResize},
};

constexpr MenuItem kView[] = {
    {"---- close -----", '-', 16, Kind::kCommand, command(Command::kClose)},
    {"aspect          ", 0, 16, Kind::kShownValue, slot::kAspect},
    {"scaling         ", 0, 16, Kind::kShownValue, slot::kScaling},
    {"h offset        ", 0, 16, Kind::kShownValue, slot::kHOffset},
    {"v offset        ", 0, 16, Kind::kShownValue, slot::kVOffset},
    {"Original size   ", 'o', 16, Kind::kCommand, command(Command::kOriginalSize)},
    {"[_] locK view   ", 'k', 16, Kind::kCheckBox, option::kLockView},
    {"Fit to screen   ", 'f', 16, Kind::kCommand, command(Command::kFitToScreen)},
    {"[_] Automatic   ", 'a', 16, Kind::kCheckBox, option::kAutomatic},
    {" resize on load ", 0, 16, Kind::kLabel, 0},
};

constexpr MenuItem kColors[] = {
    {"---- close -----", '-', 16, Kind::kCommand, command(Command::kClose)},
    {"[_] adJust color", 'j', 16, Kind::kCheckBox, option::kAdjustColor},
    {"Contrast        ", 'c', 16, Kind::kEditedValue, slot::kContrast},
    {"brigHt          ", 'h', 16, Kind::kEditedValue, slot::kBrightness},
    {"Red add         ", 'r', 16, Kind::kEditedValue, slot::kRedAdd},
    {"Green add       ", 'g', 16, Kind::kEditedValue, slot::kGreenAdd},
    {"Blue add        ", 'b', 16, Kind::kEditedValue, slot::kBlueAdd},
    {"color Space     ", 's', 16, Kind::kOpener, panel_id::kColorSpace},
    {"color Palette   ", 'p', 16, Kind::kOpener, panel_id::kColorPalette},
};

constexpr MenuItem kRotate[] = {
    {"---- close -----", '-', 16, Kind::kCommand, command(Command::kClose)},
    {"Angle           ", 'a', 16, Kind::kEditedValue, slot::kAngle},
    {"....confirm.....", '.', 16, Kind::kCommand, command(Command::kConfirm)},
};

constexpr MenuItem kResize[] = {
    {"---- close -----", '-', 16, Kind::kCommand, command(Command::kClose)},
    {"current image   ", 0, 16, Kind::kLabel, 0},
    {"width           ", 0, 16, Kind::kShownValue, slot::kWidth},
    {"height          ", 0, 16, Kind::kShownValue, slot::kHeight},
    {"nEw x           ", 'e', 16, Kind::kEditedValue, slot::kNewX},
    {"neW y           ", 'w', 16, Kind::kEditedValue, slot::kNewY},
    {"....confirm.....", '.', 16, Kind::kCommand, command(Command::kConfirm)},
};

constexpr MenuItem kColorSpace[] = {
    {"---- close -----", '-', 16, Kind::kCommand, command(Command::kClose)},
    {"[_] adJust depth", 'j', 16, Kind::kCheckBox, option::kAdjustDepth},
    {"# of levels for ", 0, 16, Kind::kLabel, 0},
    {" each component ", 0, 16, Kind::kLabel, 0},
    {"Red             ", 'r', 16, Kind::kEditedValue, slot::kRedLevels},
    {"Green           ", 'g', 16, Kind::kEditedValue, slot::kGreenLevels},
    {"Blue            ", 'b', 16, Kind::kEditedValue, slot::kBlueLevels},
    {"[_] Intensty bit", 'i', 16, Kind::kCheckBox, option::kIntensityBit},
    {"[_] greYscale   ", 'y', 16, Kind::kCheckBox, option::kGreyscale},
    {"[_] Dithering   ", 'd', 16, Kind::kCheckBox, option::kDithering},
    {"[_] Floyd/steinb", 'f', 16, Kind::kCheckBox, option::kFloydSteinberg},
};

constexpr MenuItem kColorPalette[] = {
    {"---- close -----", '-', 16, Kind::kCommand, command(Command::kClose)},
    {"[_] Use palette ", 'u', 16, Kind::kCheckBox, option::kUsePalette},
    {"Pal size        ", 'p', 16, Kind::kEditedValue, slot::kPalSize},
    {"[_] Multipalette", 'm', 16, Kind::kCheckBox, option::kMultipalette},
    {"# of palS       ", 's', 16, Kind::kEditedValue, slot::kPalettes},
    {"pal zone size   ", 0, 16, Kind::kLabel, 0},
    {"Width           ", 'w', 16, Kind::kEditedValue, slot::kZoneWidth},
    {"Height          ", 'h', 16, Kind::kEditedValue, slot::kZoneHeight},
};

constexpr MenuItem kDebug[] = {
    {"---- close -----", '-', 16, Kind::kCommand, command(Command::kClose)},
    {"debug 1         ", 0, 16, Kind::kShownValue, slot::kDebug1},
    {"debug 2         ", 0, 16, Kind::kShownValue, slot::kDebug2},
    {"debug 3         ", 0, 16, Kind::kShownValue, slot::kDebug3},
    {"debug 4         ", 0, 16, Kind::kShownValue, slot::kDebug4},
};

// The menu bar's items sit at their own columns; its home cell is that of the first title.
constexpr std::array<Panel, kPanelCount> kPanels = {{
    {panel_id::kMenuBar, 2, 2, kMenuBar},
    {panel_id::kFile, 2, 4, kFile},
    {panel_id::kEdit, 2, 4, kEdit},
    {panel_id::kView, 2, 4, kView},
    {panel_id::kColors, 2, 4, kColors},
    {panel_id::kRotate, 19, 4, kRotate},
    {panel_id::kResize, 19, 4, kResize},
    {panel_id::kColorSpace, 19, 4, kColorSpace},
    {panel_id::kColorPalette, 19, 4, kColorPalette},
    {panel_id::kDebug, 2, 4, kDebug},
}};

}  // namespace

const Panel& panel(int p) {
  return kPanels[static_cast<std::size_t>(p)];
}

}  // namespace core
