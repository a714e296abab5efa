// Folder browsing: F3 and F4 step to the previous or next picture file of the current
// folder, listed afresh once at every key press and found again by the current name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/app.h"

namespace core {

// Natural order: runs of digits compare as numbers (img2 before img10); names that compare
// equal that way fall back to byte order.
bool natural_less(std::string_view a, std::string_view b);

// The names in `folder` ending in ".bmp", then ".jpg" or ".jpeg", then ".png", then ".gif",
// then ".webp" (any letter case), each group in natural order. Entries of every kind are
// listed, folders included.
std::vector<std::string> folder_listing(const std::string& folder = ".");

// The names F4 (forward) or F3 tries after `current`, in the order it tries them: those
// after it in `listing`, or before it nearest first. A current name not in the listing
// stands after its last name.
std::vector<std::string> names_beyond(const std::vector<std::string>& listing,
                                      const std::string& current, bool forward);

// F3 and F4. Each returns true when a picture was loaded (the caller then sets the reprocess
// request and starts the next pass); false when nothing was loaded and the key passes on.
bool previous_file(App& app);
bool next_file(App& app);

}  // namespace core
