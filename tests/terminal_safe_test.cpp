// SPDX-License-Identifier: GPL-3.0-or-later
// What reaches the terminal of text that came from outside: nothing that moves the cursor,
// changes colours, sets a title or breaks a line.
#include "base/terminal_safe.h"

#include <gtest/gtest.h>

namespace vz {
namespace {

TEST(TerminalSafe, EscapesControlsAndBrokenUtf8AndKeepsText) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"take 1.mkv", "take 1.mkv"},
      {"a\nb", "a\\x0Ab"},
      {"\t\r\x1b[2J\x7f", "\\x09\\x0D\\x1B[2J\\x7F"},
      {std::string("nul\0x", 5), "nul\\x00x"},
      // C1 controls as UTF-8: CSI, OSC, ST.
      {"\xc2\x9b"
       "31m \xc2\x9d"
       "0;t\xc2\x9c",
       "\\xC2\\x9B31m \\xC2\\x9D0;t\\xC2\\x9C"},
      // Raw C1 bytes and other invalid UTF-8: lone continuation, overlong, surrogate, cut off,
      // beyond U+10FFFF.
      {"\x9b"
       "1m",
       "\\x9B1m"},
      {"\xc0\xaf", "\\xC0\\xAF"},
      {"\xed\xa0\x80", "\\xED\\xA0\\x80"},
      {"end\xe2\x82", "end\\xE2\\x82"},
      {"\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
      // Printable Unicode passes: no-break space (U+00A0), accents, the euro sign, an emoji.
      {"\xc2\xa0"
       "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xa5",
       "\xc2\xa0"
       "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xa5"},
  };
  for (const auto& c : cases) EXPECT_EQ(terminalSafe(c.in), c.out) << c.out;
}

}  // namespace
}  // namespace vz
