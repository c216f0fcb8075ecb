// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/text_prompts.h"

class QWidget;

namespace vz {

class QtTextPrompts final : public TextPrompts {
 public:
  explicit QtTextPrompts(QWidget* parent) : parent_(parent) {}
  std::optional<std::string> askText(const std::string& title, const std::string& label,
                                     const std::string& initial) override;

 private:
  QWidget* parent_;
};

}  // namespace vz
