#include "core/browse.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

#include "core/operations.h"

namespace core {

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool ends_with_extension(std::string_view name, std::string_view ext) {
  if (name.size() < ext.size()) return false;
  const std::string_view tail = name.substr(name.size() - ext.size());
  return std::equal(tail.begin(), tail.end(), ext.begin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == b;
  });
}

// -1, 0 or 1 comparing two names in natural order.
int natural_compare(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (is_digit(a[i]) && is_digit(b[j])) {
      std::size_t ei = i, ej = j;
      while (ei < a.size() && is_digit(a[ei])) ++ei;
      while (ej < b.size() && is_digit(b[ej])) ++ej;
      std::size_t si = i, sj = j;  // skip leading zeros
      while (si + 1 < ei && a[si] == '0') ++si;
      while (sj + 1 < ej && b[sj] == '0') ++sj;
      const std::size_t li = ei - si, lj = ej - sj;
      if (li != lj) return li < lj ? -1 : 1;
      const int c = a.substr(si, li).compare(b.substr(sj, lj));
      if (c != 0) return c < 0 ? -1 : 1;
      i = ei;
      j = ej;
      continue;
    }
    const auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[j]);
    if (ca != cb) return ca < cb ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

}  // namespace

bool natural_less(std::string_view a, std::string_view b) {
  const int c = natural_compare(a, b);
  if (c != 0) return c < 0;
  return a < b;
}

std::vector<std::string> folder_listing(const std::string& folder) {
  // The groups in listing order; a name joins the first group one of whose endings it has.
  constexpr std::array<std::array<std::string_view, 2>, 5> kGroups = {{
      {".bmp", ""},
      {".jpg", ".jpeg"},
      {".png", ""},
      {".gif", ""},
      {".webp", ""},
  }};
  std::array<std::vector<std::string>, kGroups.size()> groups;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string name = it->path().filename().string();
    for (std::size_t g = 0; g < kGroups.size(); ++g) {
      const auto has = [&name](std::string_view ext) {
        return !ext.empty() && ends_with_extension(name, ext);
      };
      if (has(kGroups[g][0]) || has(kGroups[g][1])) {
        groups[g].push_back(std::move(name));
        break;
      }
    }
  }
  std::vector<std::string> listing;
  for (std::vector<std::string>& group : groups) {
    std::sort(group.begin(), group.end(), natural_less);
    listing.insert(listing.end(), std::make_move_iterator(group.begin()),
                   std::make_move_iterator(group.end()));
  }
  return listing;
}

std::vector<std::string> names_beyond(const std::vector<std::string>& listing,
                                      const std::string& current, bool forward) {
  const auto at = std::find(listing.begin(), listing.end(), current);
  if (forward) return {at == listing.end() ? at : at + 1, listing.end()};
  return {std::make_reverse_iterator(at), listing.rend()};
}

namespace {

// The folder is listed once per key press: stepping over many files that are not pictures
// costs one listing, not one per file. A name that vanished since reads as unrecognised.
bool step(App& app, bool forward) {
  app.browsing_forward = forward;
  for (const std::string& name : names_beyond(folder_listing(), app.current_name, forward)) {
    app.requested_name = name;
    load_browsed_picture(app);
    if (app.status() != platform::Status::kUnrecognizedFile) return true;
  }
  if (forward) app.requested_name.clear();  // F4 ran past the last name
  return false;
}

}  // namespace

bool previous_file(App& app) {
  return step(app, false);
}

bool next_file(App& app) {
  return step(app, true);
}

}  // namespace core
