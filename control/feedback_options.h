// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "control/midi_output.h"

namespace vz {

struct FeedbackOptions {
  std::vector<std::string> oscTargets;            // --osc-feedback HOST:PORT, repeatable
  MidiFeedbackMode midi = MidiFeedbackMode::All;  // --midi-feedback off|cc|all
};

struct FeedbackOptionSpec {
  const char* name;  // without "--"
  const char* valueName;
  const char* help;
};
extern const FeedbackOptionSpec kFeedbackOptionSpecs[2];

// One option's value as a parser hands it over (a repeated option: once per value).
Status applyFeedbackOption(std::string_view name, std::string_view value, FeedbackOptions& options);

}  // namespace vz
