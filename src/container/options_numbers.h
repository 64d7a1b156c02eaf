#pragma once
// The number fields of the "Options" dialog: read from their texts into the
// settings only when every one is a whole number within its field's range,
// so that OK never stores a value cut down to another.

#include <optional>
#include <string>

#include "container/settings_record.h"

namespace plumex::container {

struct OptionNumbers {
  std::string width, height, percent, left, top;
};

// The fields' texts for the size-and-position settings.
OptionNumbers optionNumbersFor(const SettingsRecord::SizeAndPos& settings);

// Stores the fields into `settings` (whose size and position modes are
// already the dialog's): in size mode 4 the percentage goes where the
// custom height is kept; in position mode 10 left and top are percentages.
// Nothing is stored when a field is out of range; the text names it.
std::optional<std::string> storeOptionNumbers(const OptionNumbers& numbers, SettingsRecord::SizeAndPos& settings);

} // namespace plumex::container
