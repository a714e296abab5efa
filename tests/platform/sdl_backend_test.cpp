// The window code through real SDL events: SdlScreen on SDL's dummy video driver, fed with
// SDL_PushEvent (and real signals), read back as keystrokes, close requests and drops; then
// the whole program on it for what one close and Alt+F4 do. Runs without a display.
#include "platform/sdl_backend.h"

#include <SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "core/startup.h"
#include "platform/keys.h"
#include "support/harness.h"

namespace {

using platform::extended_key;
namespace scan = platform::scan;

const std::string kClose = extended_key(scan::kClose);

SDL_Event key(Uint32 type, SDL_Keycode k, Uint16 mod) {
  SDL_Event e{};
  e.type = type;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = k;
  e.key.keysym.scancode = SDL_GetScancodeFromKey(k);
  e.key.keysym.mod = mod;
  return e;
}
SDL_Event down(SDL_Keycode k, Uint16 mod = KMOD_NONE) {
  return key(SDL_KEYDOWN, k, mod);
}
SDL_Event up(SDL_Keycode k, Uint16 mod = KMOD_NONE) {
  return key(SDL_KEYUP, k, mod);
}
SDL_Event text(const char* typed) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  std::strncpy(e.text.text, typed, sizeof e.text.text - 1);
  return e;
}
SDL_Event window_close() {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  return e;
}
SDL_Event quit() {
  SDL_Event e{};
  e.type = SDL_QUIT;
  return e;
}

// The events a real window gets for a close (SDL adds SDL_QUIT when its last window closes)
// and for keys that type their character.
std::vector<SDL_Event> close_button() {
  return {window_close(), quit()};
}
std::vector<SDL_Event> typed(SDL_Keycode k, const char* character, Uint16 mod = KMOD_NONE) {
  return {down(k, mod), text(character), up(k, mod)};
}

void push(const std::vector<SDL_Event>& events) {
  for (SDL_Event e : events) ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

void use_dummy_driver() {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv(platform::kAllowHeadlessVariable, "1", 1);
}

class SdlEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    use_dummy_driver();
    std::string error;
    ASSERT_TRUE(screen.open(320, 200, 32, error)) << error;
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);  // the window's own start
  }
  void TearDown() override { SDL_SetModState(KMOD_NONE); }

  std::vector<std::string> keystrokes() {
    std::vector<std::string> all;
    for (std::string k = screen.read_key(); !k.empty(); k = screen.read_key()) all.push_back(k);
    return all;
  }

  platform::SdlScreen screen{"Veldran"};
};

struct EventCase {
  const char* what;
  std::vector<SDL_Event> events;
  Uint16 held;  // SDL's modifier state while they are read, as the keyboard has it
  std::vector<std::string> keystrokes;
};

TEST_F(SdlEvents, EveryKeyPressIsOneKeystrokeAndOneCloseIsOneRequest) {
  const std::string other = extended_key(scan::kOtherKey);
  const EventCase cases[] = {
      {"the close button", close_button(), KMOD_NONE, {kClose}},
      {"Alt+F4: two close requests",
       {down(SDLK_LALT, KMOD_LALT), down(SDLK_F4, KMOD_LALT), up(SDLK_F4, KMOD_LALT),
        up(SDLK_LALT)},
       KMOD_LALT,
       {kClose, kClose}},
      {"keys without a meaning",
       {down(SDLK_F5), down(SDLK_F10), down(SDLK_INSERT), down(SDLK_DELETE), down(SDLK_PAUSE)},
       KMOD_NONE,
       {extended_key(scan::kF5), extended_key(scan::kF10), extended_key(scan::kInsert),
        extended_key(scan::kDelete), other}},
      {"Ctrl+A (no text comes)",
       {down(SDLK_LCTRL, KMOD_LCTRL), down(SDLK_a, KMOD_LCTRL)},
       KMOD_LCTRL,
       {other}},
      {"Alt+Q on a US keyboard: a chord",
       {down(SDLK_LALT, KMOD_LALT), down(SDLK_q, KMOD_LALT), text("q")},
       KMOD_LALT,
       {other}},
      {"AltGr+Q on a German keyboard types @",
       {down(SDLK_RALT, KMOD_RALT), down(SDLK_q, KMOD_RALT), text("@")},
       KMOD_RALT,
       {"@"}},
      {"Ctrl+Alt+Q, AltGr elsewhere",
       typed(SDLK_q, "@", KMOD_LCTRL | KMOD_RALT),
       KMOD_LCTRL | KMOD_RALT,
       {"@"}},
      {"typed characters in UTF-8",
       {down(SDLK_a), text("a"), down(SDLK_e), text("\u00e9"), down(SDLK_e), text("\u20ac"),
        down(SDLK_SPACE), text(" "), down(SDLK_KP_1, KMOD_NUM), text("1")},
       KMOD_NONE,
       {"a", "\u00e9", "\u20ac", " ", "1"}},
      {"text without a key press (an input method)",
       {text("caf\u00e9")},
       KMOD_NONE,
       {"c", "a", "f", "\u00e9"}},
      {"the program's keys",
       {down(SDLK_RETURN), down(SDLK_TAB), down(SDLK_ESCAPE), down(SDLK_BACKSPACE), down(SDLK_F1),
        down(SDLK_F4, KMOD_LCTRL), down(SDLK_KP_8)},
       KMOD_NONE,
       {"\r", "\t", "\x1b", "\b", extended_key(scan::kF1), extended_key(scan::kCtrlF4),
        extended_key(scan::kUp)}},
      {"modifiers alone",
       {down(SDLK_LSHIFT), down(SDLK_CAPSLOCK), down(SDLK_RCTRL)},
       KMOD_NONE,
       {}},
  };
  for (const EventCase& c : cases) {
    SCOPED_TRACE(c.what);
    SDL_SetModState(static_cast<SDL_Keymod>(c.held));
    push(c.events);
    EXPECT_EQ(keystrokes(), c.keystrokes);
    SDL_SetModState(KMOD_NONE);
  }
}

// SIGINT and SIGTERM reach the program as one close request each.
TEST_F(SdlEvents, EndingSignalIsOneCloseRequest) {
  for (const int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    std::raise(sig);
    EXPECT_EQ(keystrokes(), std::vector<std::string>{kClose});
  }
}

// Once right Alt has typed a character of its own it is AltGr: pressing it no longer
// counts as the Alt key that opens the menus. Until then it is an Alt key.
TEST_F(SdlEvents, AltGrIsNotAlt) {
  push({down(SDLK_RALT, KMOD_RALT), up(SDLK_RALT)});
  EXPECT_TRUE(screen.is_held(scan::kAlt));
  push({down(SDLK_RALT, KMOD_RALT), down(SDLK_q, KMOD_RALT), text("@"), up(SDLK_q, KMOD_RALT),
        up(SDLK_RALT)});
  EXPECT_FALSE(screen.is_held(scan::kAlt));
  EXPECT_EQ(keystrokes(), std::vector<std::string>{"@"});
  push({down(SDLK_RALT, KMOD_RALT)});
  EXPECT_FALSE(screen.is_held(scan::kAlt));
  push({up(SDLK_RALT), down(SDLK_LALT, KMOD_LALT)});
  EXPECT_TRUE(screen.is_held(scan::kAlt));
}

SDL_Window* the_window() {
  for (Uint32 id = 1; id < 100; ++id) {
    if (SDL_Window* w = SDL_GetWindowFromID(id)) return w;
  }
  return nullptr;
}

// A dropped file's name and the title come and go as UTF-8, unchanged.
TEST_F(SdlEvents, DroppedNamesAndTheTitleAreUtf8) {
  SDL_Event e{};
  e.type = SDL_DROPFILE;
  e.drop.file = SDL_strdup("/tmp/dossier/caf\u00e9 \u20ac.bmp");
  push({e});
  EXPECT_EQ(screen.take_dropped_file(), "/tmp/dossier/caf\u00e9 \u20ac.bmp");
  EXPECT_EQ(screen.take_dropped_file(), "");
  screen.set_title("n\u00e9.bmp");
  ASSERT_NE(the_window(), nullptr);
  EXPECT_STREQ(SDL_GetWindowTitle(the_window()), "Veldran - n\u00e9.bmp");
}

// Ends a wait for input that no event would end: a close request after five seconds.
Uint32 watchdog(Uint32, void* fired) {
  static_cast<std::atomic<bool>*>(fired)->store(true);
  SDL_Event e = quit();
  SDL_PushEvent(&e);
  return 0;
}

// The whole program on the window: during the F1 reminder and in benchmark mode one close
// request, like any key, ends only that; Alt+F4 ends the program.
TEST(SdlProgram, OneCloseEndsTheReminderOrBenchmarkAndAltF4EndsTheProgram) {
  struct Case {
    const char* what;
    bool benchmark;
    std::vector<SDL_Event> close;
    bool ends;
  };
  const std::vector<SDL_Event> alt_f4 = {down(SDLK_LALT, KMOD_LALT), down(SDLK_F4, KMOD_LALT),
                                         up(SDLK_F4, KMOD_LALT), up(SDLK_LALT)};
  const Case cases[] = {
      {"reminder, close button", false, close_button(), false},
      {"reminder, Alt+F4", false, alt_f4, true},
      {"reminder, F7", false, {down(SDLK_F7)}, false},
      {"benchmark, close button", true, close_button(), false},
      {"benchmark, Alt+F4", true, alt_f4, true},
      {"benchmark, Delete", true, {down(SDLK_DELETE)}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    use_dummy_driver();
    support::TempDir dir;
    dir.write("VELDRAN.INI", support::settings_text(13, 32, 64, 64));
    platform::SdlScreen screen("Veldran");
    core::App app(screen);
    std::string error;
    std::vector<std::string> warnings;
    ASSERT_TRUE(core::start_up(app, "VELDRAN.INI", "", error, warnings)) << error;
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    veldran::run_pass(app);  // the first present
    if (c.benchmark) {
      app.frame.interaction_mode = core::kBenchmarkMode;
    } else {
      push({down(SDLK_F1)});
    }
    push(c.close);
    push(typed(SDLK_x, "x"));  // a key that does nothing, so that a pass ends
    std::atomic<bool> fired{false};
    const SDL_TimerID timer = SDL_AddTimer(5000, watchdog, &fired);
    menu::PassEnd end = menu::PassEnd::kNextPass;
    for (int pass = 0; pass < 4 && end != menu::PassEnd::kQuit && end != menu::PassEnd::kEndOfPass;
         ++pass) {
      end = veldran::run_pass(app);
    }
    SDL_RemoveTimer(timer);
    EXPECT_FALSE(fired.load()) << "the program waited for input that had come";
    EXPECT_EQ(end == menu::PassEnd::kQuit, c.ends);
    EXPECT_EQ(app.frame.interaction_mode, 0);
  }
}

// Without a display SDL would run on its offscreen driver and show nothing for ever: the
// program says so and ends with status 1, unless the tests' variable allows it.
TEST(SdlProgram, NoDisplayIsRefused) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  unsetenv(platform::kAllowHeadlessVariable);
  {
    platform::SdlScreen screen("Veldran");
    std::string error;
    EXPECT_FALSE(screen.open(320, 200, 32, error));
    EXPECT_NE(error.find("no display"), std::string::npos) << error;
  }
  const char* bin = std::getenv("VELDRAN_BIN_DIR");
  if (bin == nullptr) GTEST_SKIP() << "VELDRAN_BIN_DIR names the folder of the veldran program";
  const std::string program = std::string(bin) + "/veldran";
  support::TempDir dir;
  int err[2];
  ASSERT_EQ(pipe(err), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) unsetenv(name);
    dup2(err[1], 2);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(err[1]);
  int status = 0;
  pid_t done = 0;
  for (int tenth = 0; tenth < 200 && done == 0; ++tenth) {
    done = waitpid(child, &status, WNOHANG);
    if (done == 0) usleep(100000);
  }
  if (done == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    ADD_FAILURE() << "still running after 20 s without a display";
  }
  char buffer[512] = {};
  const ssize_t n = read(err[0], buffer, sizeof buffer - 1);
  close(err[0]);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  EXPECT_NE(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0).find("xvfb-run"),
            std::string::npos);
}

}  // namespace
