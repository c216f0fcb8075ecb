// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/look_changes.h"

#include "engine/setting_names.h"
#include "engine/shared_value.h"

namespace vz {

int LookChanges::add(StateItem item) {
  entries_.push_back({std::move(item)});
  return size() - 1;
}

int LookChanges::find(std::string_view name) const {
  for (int i = 0; i < size(); ++i)
    if (entries_[i].item.name == name) return i;
  return -1;
}

std::vector<StateChange> LookChanges::poll(std::int64_t now) {
  std::vector<StateChange> out;
  const bool all = recalled_;
  recalled_ = false;
  for (int i = 0; i < size(); ++i) {
    Entry& e = entries_[i];
    std::optional<FeedbackValue> v = e.item.read();
    if (!v) continue;
    if (!all) {
      if (e.sent == v) continue;
      // Held back, not dropped: the next poll past the gap reads the value again.
      if (e.everSent && now - e.sentAt < kMinGapNs) continue;
    }
    out.push_back({i, *v});
    e.sent = std::move(v);
    e.sentAt = now;
    e.everSent = true;
  }
  return out;
}

std::vector<StateChange> LookChanges::everything() const {
  std::vector<StateChange> out;
  for (int i = 0; i < size(); ++i)
    if (auto v = entries_[i].item.read()) out.push_back({i, std::move(*v)});
  return out;
}

namespace {

int fieldValue(const VideoEngine& engine, const SettingField& f) {
  return f.wide ? loadRelaxed(engine.*f.wide) : loadRelaxed(engine.*f.byte);
}

}  // namespace

void addEngineState(LookChanges& changes, const VideoEngine& engine, EngineStateHooks hooks) {
  int count = 0;
  const ControlTarget* targets = controlTargets(&count);
  for (int i = 0; i < count; ++i) {
    const ControlTarget& t = targets[i];
    // The mode goes by name below; a tap is an action, not a state.
    if (t.kind == ControlTarget::Kind::Mode || t.kind == ControlTarget::Kind::Tap) continue;
    const SettingField field = t.setting->fields[t.channel];
    changes.add(
        {t.name,
         [&engine, field]() -> std::optional<FeedbackValue> { return fieldValue(engine, field); },
         &t});
  }
  changes.add({"mode",
               [&engine]() -> std::optional<FeedbackValue> {
                 const int m = loadRelaxed(engine.mode);
                 if (m < kEffectModeCount) return std::string(kModeNames[m]);
                 return m;  // a bank's byte no mode answers to
               },
               findControlTarget("mode")});
  changes.add({"preset", [last = hooks.lastRecalled]() -> std::optional<FeedbackValue> {
                 if (!last) return std::nullopt;
                 const std::optional<int> slot = last();
                 if (!slot || *slot < 0 || *slot >= 26) return std::nullopt;
                 return std::string(1, static_cast<char>('A' + *slot));
               }});
  changes.add({"fullscreen", [&engine]() -> std::optional<FeedbackValue> {
                 return engine.fullScreen != 0 ? 1 : 0;
               }});
  changes.add({"recording", [rec = hooks.recording]() -> std::optional<FeedbackValue> {
                 return rec && rec() ? 1 : 0;
               }});
}

}  // namespace vz
