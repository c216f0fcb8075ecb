// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace vz {

// True when `address` holds any of the characters that make it a pattern: * ? [ {
bool isOscPattern(std::string_view address);

// Whether an incoming address pattern names `address`, part by part between the slashes:
//   ?        any one character
//   *        any run of characters, none included
//   [abc]    one of those; [a-z] a range, [!...] anything but; '-' first or last is itself
//   {ab,cd}  one of those strings
// Every other character stands for itself, and neither a wildcard nor a set matches '/'.
// A pattern with an unclosed [ or { matches nothing.
bool oscPatternMatches(std::string_view pattern, std::string_view address);

}  // namespace vz
