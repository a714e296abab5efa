#include "core/prompt.h"

#include <string>

#include "core/operations.h"

namespace core {

namespace {
constexpr int kTitleWidth = 26;
constexpr int kFrameWidth = 28;
constexpr int kFieldWidth = 24;
}  // namespace

void filename_box(App& app, std::string_view title) {
  platform::Screen& s = app.screen;
  const std::string inside(kTitleWidth, ' ');

  s.set_colours(app.colour(Colour::kBlack), app.colour(Colour::kGrey));
  s.locate(7, 7);
  s.print(title);
  s.locate(8, 7);
  s.print(inside);
  s.locate(9, 7);
  s.print(inside);

  s.set_colours(app.colour(Colour::kBlack), app.colour(Colour::kDarkGrey));
  s.locate(6, 6);
  s.print(std::string(kFrameWidth, ' '));
  for (int row = 7; row <= 9; ++row) {
    s.locate(row, 6);
    s.print(" ");
    s.locate(row, 33);
    s.print(" ");
  }
  s.locate(10, 6);
  s.print(std::string(kFrameWidth, ' '));

  s.set_colours(app.colour(Colour::kLightGrey), app.colour(Colour::kDarkBlue));
  s.locate(8, 8);
  s.print(std::string(kFieldWidth, ' '));
  s.locate(8, 8);
  app.requested_name = s.read_line();
}

void open_prompt(App& app) {
  filename_box(app, kOpenTitle);
  if (app.requested_name.empty()) {
    app.set_status(platform::Status::kCanceled);
    return;
  }
  load_requested_picture(app);
}

void save_prompt(App& app, int depth) {
  filename_box(app, kSaveTitle);
  if (app.requested_name.empty()) {
    app.set_status(platform::Status::kCanceled);
    return;
  }
  // The answer becomes the current name even when the save then fails; a typed name takes
  // whatever picture is shown, broken or not.
  app.current_name = app.requested_name;
  app.broken_picture = false;
  save_picture(app, depth);
}

}  // namespace core
