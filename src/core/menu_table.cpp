#include "core/menu_table.h"

#include <array>

namespace core {
namespace {

constexpr MenuItem kMenuBar[] = {
    {"  File          ", 'f', 8, Kind::kOpener, 1},
    {"  Edit          ", 'e', 8, Kind::kOpener, 2},
    {"  View          ", 'v', 8, Kind::kOpener, 3},
    {" Colors         ", 'c', 8, Kind::kOpener, 4},
};

constexpr MenuItem kFile[] = {
    {"---- close -----", '-', 16, Kind::kCommand, 4},
    {" Open           ", 'o', 16, Kind::kCommand, 1},
    {" Save           ", 's', 16, Kind::kCommand, 2},
    {" save as Bmp 24 ", 'b', 16, Kind::kCommand, 3},
    {" save as bMp 15 ", 'm', 16, Kind::kCommand, 11},
    {" save as bmP 8  ", 'p', 16, Kind::kCommand, 12},
    {" Quit           ", 'q', 16, Kind::kCommand, 0},
    {"current image   ", 0, 16, Kind::kLabel, 0},
    {"width           ", 0, 16, Kind::kShownValue, 0},
    {"height          ", 0, 16, Kind::kShownValue, 1},
};

constexpr MenuItem kEdit[] = {
    {"---- close -----", '-', 16, Kind::kCommand, 4},
    {"[_] crop Tool   ", 't', 16, Kind::kCheckBox, 1},
    {"flip X          ", 'x', 16, Kind::kCommand, 6},
    {"flip Y          ", 'y', 16, Kind::kCommand, 7},
    {"Benchmark       ", 'b', 16, Kind::kCommand, 8},
    {"Rotate image    ", 'r', 16, Kind::kOpener, 5},
    {"reSize image    ", 's', 16, Kind::kOpener, 6},
};

constexpr MenuItem kView[] = {
    {"---- close -----", '-', 16, Kind::kCommand, 4},
    {"aspect          ", 0, 16, Kind::kShownValue, 50},
    {"scaling         ", 0, 16, Kind::kShownValue, 51},
    {"h offset        ", 0, 16, Kind::kShownValue, 2},
    {"v offset        ", 0, 16, Kind::kShownValue, 3},
    {"Original size   ", 'o', 16, Kind::kCommand, 5},
    {"[_] locK view   ", 'k', 16, Kind::kCheckBox, 0},
    {"Fit to screen   ", 'f', 16, Kind::kCommand, 10},
    {"[_] Automatic   ", 'a', 16, Kind::kCheckBox, 9},
    {" resize on load ", 0, 16, Kind::kLabel, 0},
};

constexpr MenuItem kColors[] = {
    {"---- close -----", '-', 16, Kind::kCommand, 4},
    {"[_] adJust color", 'j', 16, Kind::kCheckBox, 3},
    {"Contrast        ", 'c', 16, Kind::kEditedValue, 6},
    {"brigHt          ", 'h', 16, Kind::kEditedValue, 7},
    {"Red add         ", 'r', 16, Kind::kEditedValue, 8},
    {"Green add       ", 'g', 16, Kind::kEditedValue, 9},
    {"Blue add        ", 'b', 16, Kind::kEditedValue, 10},
    {"color Space     ", 's', 16, Kind::kOpener, 7},
    {"color Palette   ", 'p', 16, Kind::kOpener, 8},
};

constexpr MenuItem kRotate[] = {
    {"---- close -----", '-', 16, Kind::kCommand, 4},
    {"Angle           ", 'a', 16, Kind::kEditedValue, 52},
    {"....confirm.....", '.', 16, Kind::kCommand, 9},
};

constexpr MenuItem kResize[] = {
    {"---- close -----", '-', 16, Kind::kCommand, 4},
    {"current image   ", 0, 16, Kind::kLabel, 0},
    {"width           ", 0, 16, Kind::kShownValue, 0},
    {"height          ", 0, 16, Kind::kShownValue, 1},
    {"nEw x           ", 'e', 16, Kind::kEditedValue, 4},
    {"neW y           ", 'w', 16, Kind::kEditedValue, 5},
    {"....confirm.....", '.', 16, Kind::kCommand, 9},
};

constexpr MenuItem kColorSpace[] = {
    {"---- close -----", '-', 16, Kind::kCommand, 4},
    {"[_] adJust depth", 'j', 16, Kind::kCheckBox, 8},
    {"# of levels for ", 0, 16, Kind::kLabel, 0},
    {" each component ", 0, 16, Kind::kLabel, 0},
    {"Red             ", 'r', 16, Kind::kEditedValue, 11},
    {"Green           ", 'g', 16, Kind::kEditedValue, 12},
    {"Blue            ", 'b', 16, Kind::kEditedValue, 13},
    {"[_] Intensty bit", 'i', 16, Kind::kCheckBox, 10},
    {"[_] greYscale   ", 'y', 16, Kind::kCheckBox, 11},
    {"[_] Dithering   ", 'd', 16, Kind::kCheckBox, 4},
    {"[_] Floyd/steinb", 'f', 16, Kind::kCheckBox, 5},
};

constexpr MenuItem kColorPalette[] = {
    {"---- close -----", '-', 16, Kind::kCommand, 4},
    {"[_] Use palette ", 'u', 16, Kind::kCheckBox, 7},
    {"Pal size        ", 'p', 16, Kind::kEditedValue, 15},
    {"[_] Multipalette", 'm', 16, Kind::kCheckBox, 6},
    {"# of palS       ", 's', 16, Kind::kEditedValue, 16},
    {"pal zone size   ", 0, 16, Kind::kLabel, 0},
    {"Width           ", 'w', 16, Kind::kEditedValue, 17},
    {"Height          ", 'h', 16, Kind::kEditedValue, 18},
};

constexpr MenuItem kDebug[] = {
    {"---- close -----", '-', 16, Kind::kCommand, 4},
    {"debug 1         ", 0, 16, Kind::kShownValue, 20},
    {"debug 2         ", 0, 16, Kind::kShownValue, 21},
    {"debug 3         ", 0, 16, Kind::kShownValue, 22},
    {"debug 4         ", 0, 16, Kind::kShownValue, 23},
};

// The menu bar's items sit at their own columns; its home cell is that of the first title.
constexpr std::array<Panel, kPanelCount> kPanels = {{
    {0, 2, 2, kMenuBar},
    {1, 2, 4, kFile},
    {2, 2, 4, kEdit},
    {3, 2, 4, kView},
    {4, 2, 4, kColors},
    {5, 19, 4, kRotate},
    {6, 19, 4, kResize},
    {7, 19, 4, kColorSpace},
    {8, 19, 4, kColorPalette},
    {9, 2, 4, kDebug},
}};

}  // namespace

const Panel& panel(int p) {
  return kPanels[static_cast<std::size_t>(p)];
}

}  // namespace core
