// SPDX-License-Identifier: GPL-3.0-or-later
// `zarnix`: the Video Zarnix look as an in-place video filter on 24-bit BGR.
//
// Setters (any thread) apply each change to a control copy of the engine, which the getters
// read, and post the same change to the streaming thread's own engine; that thread applies
// what was posted at the top of the next frame, in order, then takes one snapshot for the
// frame. Neither side waits for the other.
#include "gst/zarnix_element.h"

#include <gst/video/gstvideofilter.h>
#include <gst/video/video.h>

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/effect_mode.h"
#include "engine/look_fade.h"
#include "engine/setting_names.h"
#include "engine/shared_value.h"
#include "engine/video_engine.h"
#include "gst/frame_rows.h"
#include "gst/look_inbox.h"
#include "presets/bank_bytes.h"
#include "presets/bank_file.h"
#include "presets/look_text.h"
#include "presets/preset_slot.h"

GST_DEBUG_CATEGORY_STATIC(zarnixDebug);
#define GST_CAT_DEFAULT zarnixDebug

namespace vz {
namespace {

struct ZarnixState {
  std::mutex controlLock;  // setters and getters only; the streaming thread never takes it
  VideoEngine control;
  std::string bankFile;    // the last bank loaded
  std::string preset;      // the last letter recalled
  double fadeSeconds = 0;  // under controlLock
  LookInbox inbox;
  VideoEngine live;  // streaming thread only (its fadeLink atomics aside), as are the rest
  LookFade fade;
  double framesPerSecond = 0;  // of the caps in hand; 0: unknown
  bool running = false;        // a frame has been through since start
  std::vector<uint8_t> work;
};

struct GstZarnix {
  GstVideoFilter parent;
  ZarnixState* state;
};

struct GstZarnixClass {
  GstVideoFilterClass parent;
};

GType gst_zarnix_get_type();
G_DEFINE_TYPE(GstZarnix, gst_zarnix, GST_TYPE_VIDEO_FILTER)

ZarnixState& stateOf(gpointer object) {
  return *reinterpret_cast<GstZarnix*>(object)->state;
}

// The mode byte 10 stands for every byte from 10 up: a bank slot may hold any of them, and
// all leave frames as they are.
constexpr int kUnchangedMode = kEffectModeCount;

GType modeEnumType() {
  static const GType type = [] {
    static GEnumValue values[kEffectModeCount + 2] = {};
    static const char* const kTitles[kEffectModeCount] = {
        "Source", "Overflow", "B+W Inv",         "LUT",     "Color Inv", "LUT 2",
        "Emboss", "Smear",    "Green-blue grey", "Negative"};
    for (int m = 0; m < kEffectModeCount; ++m) values[m] = {m, kTitles[m], kModeNames[m]};
    values[kEffectModeCount] = {kUnchangedMode, "Unchanged (mode bytes 10..255)", "unchanged"};
    return g_enum_register_static("VzZarnixMode", values);
  }();
  return type;
}

enum class Kind { Mode, Cycle, Number, Palette, BankFile, Preset, Fade };

struct Property {
  Kind kind;
  SettingField field;
};

int readSetting(const VideoEngine& e, const SettingField& field) {
  return field.wide ? e.*field.wide : e.*field.byte;
}

// Indexed by property id - 1.
std::vector<Property>& properties() {
  static std::vector<Property> list;
  return list;
}

constexpr auto kFlags =
    static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_CONTROLLABLE |
                             GST_PARAM_MUTABLE_PLAYING);
// Text is no value a control source can produce: the palette, the bank file and the preset
// change while playing but are not controllable.
constexpr auto kTextFlags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS |
                                                     GST_PARAM_MUTABLE_PLAYING);

void install(GObjectClass* klass, GParamSpec* pspec, Property property) {
  properties().push_back(property);
  g_object_class_install_property(klass, static_cast<guint>(properties().size()), pspec);
}

void installProperties(GObjectClass* klass) {
  const auto fresh = std::make_unique<VideoEngine>();  // large: kept off the stack
  const VideoEngine& defaults = *fresh;
  install(klass,
          g_param_spec_enum("mode", "Mode", "Effect mode", modeEnumType(), defaults.mode, kFlags),
          {Kind::Mode});
  for (const NamedSetting& n : kNamedSettings) {
    for (int c = 0; c < n.channels; ++c) {
      // Names and descriptions live as long as the class: they are interned.
      std::string name = n.name, nick = name, blurb = n.description;
      nick[0] = static_cast<char>(nick[0] - 'a' + 'A');
      if (n.channels == 3) {
        name = name + "-" + kChannelNames[c];
        nick = nick + " " + kChannelNames[c];
        blurb = blurb + " (" + kChannelNames[c] + ")";
      }
      const char* const text[3] = {g_intern_string(name.c_str()), g_intern_string(nick.c_str()),
                                   g_intern_string(blurb.c_str())};
      const int initial = readSetting(defaults, n.fields[c]);
      if (name == "cycle") {
        install(klass, g_param_spec_boolean(text[0], text[1], text[2], initial == 1, kFlags),
                {Kind::Cycle, n.fields[c]});
      } else {
        install(klass, g_param_spec_int(text[0], text[1], text[2], n.min, n.max, initial, kFlags),
                {Kind::Number, n.fields[c]});
      }
    }
  }
  install(klass,
          g_param_spec_string("palette", "Palette",
                              "48 whitespace-separated ints: 16 red, 16 green, 16 blue entries, "
                              "each -1000000..1000000",
                              g_intern_string(formatPalette(defaults).c_str()), kTextFlags),
          {Kind::Palette});
  install(klass,
          g_param_spec_string("bank-file", "Bank file",
                              "A 3840-byte bank file: loading it fills the preset store", nullptr,
                              kTextFlags),
          {Kind::BankFile});
  install(klass,
          g_param_spec_string("preset", "Preset",
                              "A letter A..Z (either case): recalls that slot from the preset "
                              "store; setting it again recalls again",
                              nullptr, kTextFlags),
          {Kind::Preset});
  install(klass,
          g_param_spec_double("fade", "Fade",
                              "Seconds a change of preset fades from the running look into the "
                              "recalled one (0: it cuts)",
                              0, FadeLink::kMaxSeconds, 0, kFlags),
          {Kind::Fade});
}

// Applies a change to the control copy and passes it to the streaming thread, under the
// setters' lock so that the streaming thread sees the changes in the order they were made.
void applyChange(ZarnixState& st, const LookInbox::Change& change) {
  std::lock_guard lock(st.controlLock);
  change(st.control);
  st.inbox.post(change);
}

void warnRefused(GObject* object, const char* property, const std::string& why) {
  GST_ELEMENT_WARNING(object, LIBRARY, SETTINGS,
                      ("Property '%s' refused: %s", property, why.c_str()),
                      ("the element keeps its previous settings"));
}

void setBankFile(GObject* object, ZarnixState& st, const char* path) {
  if (path == nullptr || *path == '\0')
    return warnRefused(object, "bank-file", "an empty file name");
  auto loaded = std::make_unique<VideoEngine>();
  std::string why;
  if (const BankIo r = loadBankFile(path, *loaded, &why); r != BankIo::Ok)
    return warnRefused(object, "bank-file", bankProblem(r, path, why));
  struct Bank {
    uint8_t bytes[kBankBytes];
  };
  auto bank = std::make_shared<Bank>();
  encodeBank(*loaded, bank->bytes);
  applyChange(st, [bank](VideoEngine& e) { decodeBank(e, bank->bytes); });
  std::lock_guard lock(st.controlLock);
  st.bankFile = path;
}

void setPreset(GObject* object, ZarnixState& st, const char* text) {
  const auto slot = text ? slotForLetter(text) : std::nullopt;
  if (!slot)
    return warnRefused(object, "preset",
                       std::string("'") + (text ? text : "") + "' is not a letter A..Z");
  std::lock_guard lock(st.controlLock);
  recallSlotFields(st.control, *slot);
  // The streaming thread fades from the look it runs at that moment (once frames run: a
  // preset set before them is the starting look), over the fade set before this preset.
  st.inbox.post([&st, s = *slot, seconds = st.fadeSeconds](VideoEngine& e) {
    if (st.running) st.fade.startFrom(e, fadeFrameCount(seconds, st.framesPerSecond));
    recallSlotFields(e, s);
  });
  st.preset = text;
}

void setPalette(GObject* object, ZarnixState& st, const char* text) {
  std::string error;
  const auto values = parsePaletteText(text ? text : "", error);
  if (!values) return warnRefused(object, "palette", error);
  applyChange(st, [v = *values](VideoEngine& e) { storePalette(e, v); });
}

void setProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
  if (id == 0 || id > properties().size()) {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    return;
  }
  ZarnixState& st = stateOf(object);
  const Property p = properties()[id - 1];
  switch (p.kind) {
    case Kind::Mode: {
      const int mode = g_value_get_enum(value);
      applyChange(st, [mode](VideoEngine& e) { storeRelaxed(e.mode, mode); });
      break;
    }
    case Kind::Cycle: {
      const int on = g_value_get_boolean(value) ? 1 : 0;
      applyChange(st, [f = p.field, on](VideoEngine& e) { storeSetting(e, f, on); });
      break;
    }
    case Kind::Number: {
      const int v = g_value_get_int(value);
      applyChange(st, [f = p.field, v](VideoEngine& e) { storeSetting(e, f, v); });
      break;
    }
    case Kind::Palette:
      setPalette(object, st, g_value_get_string(value));
      break;
    case Kind::BankFile:
      setBankFile(object, st, g_value_get_string(value));
      break;
    case Kind::Preset:
      setPreset(object, st, g_value_get_string(value));
      break;
    case Kind::Fade: {
      std::lock_guard lock(st.controlLock);
      st.fadeSeconds = g_value_get_double(value);
      // Armed (an atomic, for any thread), the streaming thread makes a fade's room on an
      // ordinary frame, ahead of the first fade.
      st.live.fadeLink.setSeconds(st.fadeSeconds);
      break;
    }
  }
}

void getProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  if (id == 0 || id > properties().size()) {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    return;
  }
  ZarnixState& st = stateOf(object);
  const Property p = properties()[id - 1];
  std::lock_guard lock(st.controlLock);
  const VideoEngine& e = st.control;
  auto nullIfEmpty = [](const std::string& s) { return s.empty() ? nullptr : s.c_str(); };
  switch (p.kind) {
    case Kind::Mode:
      g_value_set_enum(value, e.mode < kEffectModeCount ? e.mode : kUnchangedMode);
      break;
    case Kind::Cycle:
      g_value_set_boolean(value, readSetting(e, p.field) == 1);
      break;
    case Kind::Number:
      g_value_set_int(value, readSetting(e, p.field));
      break;
    case Kind::Palette:
      g_value_set_string(value, formatPalette(e).c_str());
      break;
    case Kind::BankFile:
      g_value_set_string(value, nullIfEmpty(st.bankFile));
      break;
    case Kind::Preset:
      g_value_set_string(value, nullIfEmpty(st.preset));
      break;
    case Kind::Fade:
      g_value_set_double(value, st.fadeSeconds);
      break;
  }
}

gboolean start(GstBaseTransform* trans) {
  ZarnixState& st = stateOf(trans);
  st.live.cycleRandom.restart();  // a new run, a new cycling sequence
  st.fade.stop();
  st.running = false;
  return TRUE;
}

// Streaming thread, before every buffer, passthrough or not: automation first, then every
// change posted since the last frame, then whether this frame needs touching at all.
void beforeTransform(GstBaseTransform* trans, GstBuffer* buffer) {
  const GstClockTime streamTime =
      gst_segment_to_stream_time(&trans->segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
  if (GST_CLOCK_TIME_IS_VALID(streamTime)) gst_object_sync_values(GST_OBJECT(trans), streamTime);
  ZarnixState& st = stateOf(trans);
  const GstVideoInfo& info = GST_VIDEO_FILTER(trans)->in_info;
  st.framesPerSecond =
      info.fps_d > 0 ? static_cast<double>(info.fps_n) / static_cast<double>(info.fps_d) : 0;
  st.inbox.applyAll(st.live);
  st.running = true;
  // A fade into a look that leaves frames alone still rewrites them until it ends.
  const bool alone = leavesFramesAlone(st.live) && !st.fade.fading();
  if (alone != static_cast<bool>(gst_base_transform_is_passthrough(trans)))
    gst_base_transform_set_passthrough(trans, alone);
}

GstFlowReturn transformFrameIp(GstVideoFilter* filter, GstVideoFrame* frame) {
  ZarnixState& st = stateOf(filter);
  processTopDownFrame(st.live, st.fade, static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(frame, 0)),
                      GST_VIDEO_FRAME_WIDTH(frame), GST_VIDEO_FRAME_HEIGHT(frame),
                      GST_VIDEO_FRAME_PLANE_STRIDE(frame, 0), st.work);
  return GST_FLOW_OK;
}

void finalize(GObject* object) {
  delete reinterpret_cast<GstZarnix*>(object)->state;
  G_OBJECT_CLASS(gst_zarnix_parent_class)->finalize(object);
}

void gst_zarnix_class_init(GstZarnixClass* klass) {
  GObjectClass* object = G_OBJECT_CLASS(klass);
  object->set_property = setProperty;
  object->get_property = getProperty;
  object->finalize = finalize;
  installProperties(object);

  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  static GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE(
      "sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("BGR")));
  static GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
      "src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("BGR")));
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_add_static_pad_template(element, &srcTemplate);
  gst_element_class_set_static_metadata(
      element, "Video Zarnix look", "Filter/Effect/Video",
      "Integer colour effects of Video Zarnix on 24-bit BGR video. Frames are processed "
      "bottom row first, as the live program and videozarnix-fx do, so a look renders "
      "alike in all three. Properties apply in the order they are set.",
      "Video Zarnix");
  gst_type_mark_as_plugin_api(modeEnumType(), static_cast<GstPluginAPIFlags>(0));

  GstBaseTransformClass* base = GST_BASE_TRANSFORM_CLASS(klass);
  base->start = start;
  base->before_transform = beforeTransform;
  GST_VIDEO_FILTER_CLASS(klass)->transform_frame_ip = transformFrameIp;
}

void gst_zarnix_init(GstZarnix* self) {
  self->state = new ZarnixState();
  gst_base_transform_set_in_place(GST_BASE_TRANSFORM(self), TRUE);
  gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(self), TRUE);
}

}  // namespace

gboolean registerZarnixElement(GstPlugin* plugin) {
  GST_DEBUG_CATEGORY_INIT(zarnixDebug, "zarnix", 0, "Video Zarnix look");
  return gst_element_register(plugin, "zarnix", GST_RANK_NONE, gst_zarnix_get_type());
}

}  // namespace vz
