// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/osc_pattern.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace vz {

namespace {

// One part of a pattern against one part of an address. Patterns come from the network:
// every (pattern position, address position) pair is tried at most once, so a run of stars
// costs the product of the lengths, never more.
class PartMatcher {
 public:
  PartMatcher(std::string_view pattern, std::string_view name)
      : p_(pattern), n_(name), seen_((p_.size() + 1) * (n_.size() + 1), 0) {}

  bool matches() { return at(0, 0); }

 private:
  bool at(size_t p, size_t n) {
    char& seen = seen_[p * (n_.size() + 1) + n];
    if (seen != 0) return seen == 1;
    seen = 2;  // no match, unless proven below
    const bool found = step(p, n);
    seen = found ? 1 : 2;
    return found;
  }

  bool step(size_t p, size_t n) {
    if (p == p_.size()) return n == n_.size();
    switch (p_[p]) {
      case '*':
        return at(p + 1, n) || (n < n_.size() && at(p, n + 1));
      case '?':
        return n < n_.size() && at(p + 1, n + 1);
      case '[':
        return set(p, n);
      case '{':
        return alternatives(p, n);
      default:
        return n < n_.size() && p_[p] == n_[n] && at(p + 1, n + 1);
    }
  }

  bool set(size_t p, size_t n) {
    const size_t close = p_.find(']', p + 2);  // "[]...]": a ']' first is a member
    if (close == std::string_view::npos || n == n_.size()) return false;
    size_t i = p + 1;
    const bool negated = p_[i] == '!' && i + 1 < close;
    if (negated) ++i;
    const char c = n_[n];
    bool member = false;
    for (; i < close; ++i) {
      if (i + 2 < close && p_[i + 1] == '-') {
        const char lo = p_[i], hi = p_[i + 2];
        member |= (lo <= hi) ? (lo <= c && c <= hi) : (hi <= c && c <= lo);
        i += 2;
      } else {
        member |= p_[i] == c;
      }
    }
    return member != negated && at(close + 1, n + 1);
  }

  bool alternatives(size_t p, size_t n) {
    const size_t close = p_.find('}', p + 1);
    if (close == std::string_view::npos) return false;
    for (size_t from = p + 1; from <= close;) {
      size_t to = p_.find(',', from);
      if (to == std::string_view::npos || to > close) to = close;
      const std::string_view option = p_.substr(from, to - from);
      if (n_.substr(n, option.size()) == option && at(close + 1, n + option.size())) return true;
      from = to + 1;
    }
    return false;
  }

  std::string_view p_, n_;
  std::vector<char> seen_;  // 0: not tried, 1: matches, 2: does not
};

// The next part of `s` from `at` (just after a '/'), and `at` moved past it.
std::string_view nextPart(std::string_view s, size_t& at) {
  const size_t end = std::min(s.find('/', at), s.size());
  const std::string_view part = s.substr(at, end - at);
  at = end + 1;
  return part;
}

}  // namespace

bool isOscPattern(std::string_view address) {
  return address.find_first_of("*?[{") != std::string_view::npos;
}

bool oscPatternMatches(std::string_view pattern, std::string_view address) {
  if (pattern.empty() || address.empty() || pattern[0] != '/' || address[0] != '/') return false;
  size_t p = 1, a = 1;
  while (p <= pattern.size() && a <= address.size()) {
    const std::string_view pp = nextPart(pattern, p), ap = nextPart(address, a);
    if (!PartMatcher(pp, ap).matches()) return false;
  }
  return p > pattern.size() && a > address.size();  // as many parts on both sides
}

}  // namespace vz
