// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/effect_app.h"

namespace {
vz::EffectApp theApp;
}

int main(int argc, char** argv) {
  return theApp.InitInstance(argc, argv);
}
