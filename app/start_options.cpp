// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/start_options.h"

#include <cstdio>

#include "app/effect_dialog.h"
#include "panel/control_bindings.h"
#include "panel/screen_input.h"
#include "presets/bank_file.h"

namespace vz {

void applyStartOptions(EffectDialog& dialog, const StartOptions& o) {
  VideoEngine& engine = dialog.engine;
  DialogOps& ops = dialog.dialogOps();
  if (!o.bankFile.empty()) {
    // Checked at parse time; a file that changed since is reported, never half-loaded.
    std::string why;
    if (const BankIo r = loadBankFile(o.bankFile, engine, &why); r == BankIo::Ok)
      ops.setWindowText("BANK:  " + o.bankFile);
    else
      std::fprintf(stderr, "videozarnix: %s\n", bankProblem(r, o.bankFile, why).c_str());
  }
  if (o.presetSlot >= 0) {
    recallPreset(engine, ops, o.presetSlot);
    refreshControls(engine, ops);
  }
}

}  // namespace vz
