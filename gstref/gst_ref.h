// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

#include <utility>
#include <vector>

// Objects of the file reader's library, by name only: users link it, this header need not.
typedef struct _GstDiscoverer GstDiscoverer;
typedef struct _GstDiscovererInfo GstDiscovererInfo;
typedef struct _GstDiscovererStreamInfo GstDiscovererStreamInfo;

namespace vz {

// How one reference of each kind of GLib/GStreamer object is given back. A kind that is not
// listed here fails to compile rather than being released the wrong way.
inline void dropRef(GstObject* p) {
  gst_object_unref(p);
}
inline void dropRef(GstElement* p) {
  gst_object_unref(p);
}
inline void dropRef(GstBin* p) {
  gst_object_unref(p);
}
inline void dropRef(GstPad* p) {
  gst_object_unref(p);
}
inline void dropRef(GstBus* p) {
  gst_object_unref(p);
}
inline void dropRef(GstClock* p) {
  gst_object_unref(p);
}
inline void dropRef(GstDevice* p) {
  gst_object_unref(p);
}
inline void dropRef(GstDeviceMonitor* p) {
  gst_object_unref(p);
}
inline void dropRef(GstBufferPool* p) {
  gst_object_unref(p);
}
inline void dropRef(GstCaps* p) {
  gst_caps_unref(p);
}
inline void dropRef(GstBuffer* p) {
  gst_buffer_unref(p);
}
inline void dropRef(GstSample* p) {
  gst_sample_unref(p);
}
inline void dropRef(GstMessage* p) {
  gst_message_unref(p);
}
inline void dropRef(GstQuery* p) {
  gst_query_unref(p);
}
inline void dropRef(GstEvent* p) {
  gst_event_unref(p);
}
inline void dropRef(GstStructure* p) {
  gst_structure_free(p);
}
inline void dropRef(GstIterator* p) {
  gst_iterator_free(p);
}
inline void dropRef(GError* p) {
  g_error_free(p);
}
inline void dropRef(gchar* p) {
  g_free(p);
}
inline void dropRef(GObject* p) {
  g_object_unref(p);
}
inline void dropRef(GstDiscoverer* p) {
  g_object_unref(p);
}
inline void dropRef(GstDiscovererInfo* p) {
  g_object_unref(p);
}
inline void dropRef(GstDiscovererStreamInfo* p) {
  g_object_unref(p);
}
inline void dropRef(GstVideoConverter* p) {
  gst_video_converter_free(p);
}

// Owns one reference (or one allocation) of a GLib/GStreamer object and gives it back when it
// goes, so that no early return leaks it and nothing frees it twice. Converts to the plain
// pointer where a C function wants one; the pointer stays ours.
template <class T>
class GRef {
 public:
  GRef() = default;
  explicit GRef(T* adopted) : p_(adopted) {}  // takes over a reference the caller owned
  GRef(const GRef&) = delete;
  GRef& operator=(const GRef&) = delete;
  GRef(GRef&& other) noexcept : p_(other.release()) {}
  GRef& operator=(GRef&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~GRef() { reset(); }

  T* get() const { return p_; }
  operator T*() const { return p_; }  // NOLINT: C calls read plainly
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // Gives the reference to the caller (a function that takes ownership).
  [[nodiscard]] T* release() { return std::exchange(p_, nullptr); }
  void reset(T* adopted = nullptr) {
    if (T* old = std::exchange(p_, adopted)) dropRef(old);
  }
  // For a C out-parameter: drops what is held, then receives a reference we own.
  T** out() {
    reset();
    return &p_;
  }

 private:
  T* p_ = nullptr;
};

// A new reference to a GStreamer object the caller does not own (and may not keep).
template <class T>
GRef<T> refOf(T* object) {
  return GRef<T>(object != nullptr ? static_cast<T*>(gst_object_ref(object)) : nullptr);
}

// A freshly made object's floating reference, made ours: a bin it is added to then takes
// a reference of its own, and ours goes with the GRef.
template <class T>
GRef<T> sinkRef(T* object) {
  return GRef<T>(object != nullptr ? static_cast<T*>(gst_object_ref_sink(object)) : nullptr);
}

// A list of references handed out (the devices a monitor lists): each one taken over in
// order, the list itself freed.
template <class T>
std::vector<GRef<T>> takeList(GList* list) {
  std::vector<GRef<T>> taken;
  for (GList* l = list; l != nullptr; l = l->next) taken.emplace_back(static_cast<T*>(l->data));
  g_list_free(list);
  return taken;
}

}  // namespace vz
