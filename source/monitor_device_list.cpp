// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "gstref/gst_ref.h"
#include "source/camera_key.h"
#include "source/capture_devices.h"

namespace vz {
namespace {

class MonitoredDevice final : public CaptureDevice {
 public:
  explicit MonitoredDevice(GRef<GstDevice> device) : device_(std::move(device)) {}

  // GStreamer devices carry a display name and no description.
  bool readProperty(const std::string& name, std::string& value) const override {
    if (name != "FriendlyName") return false;
    const GRef<gchar> display(gst_device_get_display_name(device_));
    if (!display) return false;
    value = display.get();
    return true;
  }

  GstElement* bindToObject() override {
    return sinkRef(gst_device_create_element(device_, nullptr)).release();
  }

  GstCaps* modes() const override { return gst_device_get_caps(device_); }

  std::string key() const override {
    const GRef<GstStructure> props(gst_device_get_properties(device_));
    return cameraKey(props);
  }

  // The key that keeps the order stable across enumerations: the device node, whichever
  // provider describes it, then the name.
  std::string sortKey() const {
    std::string path;
    if (const GRef<GstStructure> props{gst_device_get_properties(device_)}) {
      for (const char* field : {"device.path", "api.v4l2.path", "object.path"}) {
        if (const gchar* s = gst_structure_get_string(props, field)) {
          path = s;
          break;
        }
      }
    }
    std::string name;
    readProperty("FriendlyName", name);
    return path + '\n' + name;
  }

 private:
  GRef<GstDevice> device_;
};

std::mutex ownLoopbackMutex;
std::string ownLoopback;

// Our own virtual camera, offered back to us: the PipeWire node by its name, a loopback
// device by the path we write.
bool isOwnVirtualCamera(GstDevice* device) {
  const GRef<GstStructure> props(gst_device_get_properties(device));
  if (!props) return false;
  bool own = false;
  if (const gchar* node = gst_structure_get_string(props, "node.name"))
    own = std::string(node) == kOwnCameraNodeName;
  const std::string written = ownLoopbackDevice();
  for (const char* field : {"device.path", "api.v4l2.path"})
    if (const gchar* path = gst_structure_get_string(props, field))
      own = own || (!written.empty() && written == path);
  return own;
}

}  // namespace

void setOwnLoopbackDevice(const std::string& path) {
  std::lock_guard lock(ownLoopbackMutex);
  ownLoopback = path;
}

std::string ownLoopbackDevice() {
  std::lock_guard lock(ownLoopbackMutex);
  return ownLoopback;
}

namespace {

// The monitor is started once and never stopped: stopping the PipeWire provider of the
// GStreamer we ship on destroys its registry twice (a double free), and the provider is one
// per process anyway. Its notices run on the GUI thread, as do the listeners' changes.
struct RunningMonitor {
  GRef<GstDeviceMonitor> monitor;
  std::vector<DeviceListener*> listeners;
};

// PipeWire's device provider lists a reader that asked for no format as a device without
// caps, and GStreamer's monitor then fails two assertions on it (the caps test, then the
// release of the missing caps) each time such a reader comes or goes: our own virtual camera
// has such readers. Exactly that pair is dropped; every other message is printed as before.
thread_local bool afterCapsless = false;
void dropCapslessDeviceCriticals(const gchar* domain, GLogLevelFlags level, const gchar* message,
                                 gpointer) {
  const std::string_view text = message != nullptr ? message : "";
  if (text.find("gst_caps_can_intersect: assertion 'GST_IS_CAPS (caps2)' failed") !=
      std::string_view::npos) {
    afterCapsless = true;
    return;
  }
  const bool second =
      afterCapsless && text.find("gst_mini_object_unref: assertion 'mini_object != NULL' failed") !=
                           std::string_view::npos;
  afterCapsless = false;
  if (!second) g_log_default_handler(domain, level, message, nullptr);
}

gboolean onBusMessage(GstBus*, GstMessage* message, gpointer data) {
  auto* running = static_cast<RunningMonitor*>(data);
  GRef<GstDevice> device;
  const bool added = GST_MESSAGE_TYPE(message) == GST_MESSAGE_DEVICE_ADDED;
  if (added)
    gst_message_parse_device_added(message, device.out());
  else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_DEVICE_REMOVED)
    gst_message_parse_device_removed(message, device.out());
  if (!device) return G_SOURCE_CONTINUE;
  const bool own = isOwnVirtualCamera(device);
  const std::string key = MonitoredDevice(std::move(device)).key();
  if (own) return G_SOURCE_CONTINUE;
  const std::vector<DeviceListener*> listeners = running->listeners;
  for (DeviceListener* listener : listeners) {
    // A listener may have gone while another one ran the GUI loop (a device question).
    if (std::find(running->listeners.begin(), running->listeners.end(), listener) ==
        running->listeners.end())
      continue;
    if (added)
      listener->deviceAdded(key);
    else
      listener->deviceRemoved(key);
  }
  return G_SOURCE_CONTINUE;
}

RunningMonitor& runningMonitor() {
  static RunningMonitor* running = [] {
    if (!gst_is_initialized()) gst_init(nullptr, nullptr);
    g_log_set_handler("GStreamer", G_LOG_LEVEL_CRITICAL, dropCapslessDeviceCriticals, nullptr);
    auto* r = new RunningMonitor;
    r->monitor.reset(gst_device_monitor_new());
    gst_device_monitor_add_filter(r->monitor, "Video/Source", nullptr);
    gst_bus_add_watch(GRef<GstBus>(gst_device_monitor_get_bus(r->monitor)), onBusMessage, r);
    // Without any provider that can watch, each listing probes afresh and nobody is told.
    gst_device_monitor_start(r->monitor);
    return r;
  }();
  return *running;
}

}  // namespace

void MonitorDeviceList::addListener(DeviceListener* listener) {
  runningMonitor().listeners.push_back(listener);
}

void MonitorDeviceList::removeListener(DeviceListener* listener) {
  std::erase(runningMonitor().listeners, listener);
}

std::vector<std::unique_ptr<CaptureDevice>> MonitorDeviceList::videoInputDevices() {
  std::vector<std::unique_ptr<MonitoredDevice>> found;
  // The monitor hides providers that another one stands in front of (show-all stays off),
  // so each camera is listed once. While it runs, the list is the providers' current one.
  for (GRef<GstDevice>& device :
       takeList<GstDevice>(gst_device_monitor_get_devices(runningMonitor().monitor))) {
    if (!isOwnVirtualCamera(device))
      found.push_back(std::make_unique<MonitoredDevice>(std::move(device)));
  }

  std::vector<std::pair<std::string, std::unique_ptr<MonitoredDevice>>> keyed;
  for (auto& d : found) keyed.emplace_back(d->sortKey(), std::move(d));
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::unique_ptr<CaptureDevice>> out;
  for (auto& [key, d] : keyed) out.push_back(std::move(d));
  return out;
}

}  // namespace vz
