// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace vz {

// True when the AVX2 kernels may run: the processor has AVX2 and the portable code has not
// been forced. Cheap enough to ask once per frame.
bool useAvx2();

// Test hook: with true, every kernel takes its portable path, so both paths can be held
// to the same results on a machine that has AVX2.
void forcePortableKernels(bool portable);

}  // namespace vz
