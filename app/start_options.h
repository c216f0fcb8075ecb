// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/command_line.h"

namespace vz {

class EffectDialog;

// The start-up options that act on the dialog once it runs: the bank, then the preset.
void applyStartOptions(EffectDialog& dialog, const StartOptions& options);

}  // namespace vz
