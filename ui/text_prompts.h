// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace vz {

// A one-line question with a text answer ("Sequence...", a fixed tempo): nothing when the
// user cancels. Through this layer so tests script the answers.
class TextPrompts {
 public:
  virtual ~TextPrompts() = default;
  virtual std::optional<std::string> askText(const std::string& title, const std::string& label,
                                             const std::string& initial) = 0;
};

}  // namespace vz
