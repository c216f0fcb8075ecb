#include <algorithm>
#include <mutex>
#include <string>

#include "source/camera_key.h"
#include "source/capture_devices.h"

namespace vz {
namespace {

class MonitoredDevice final : public CaptureDevice {
 public:
  explicit MonitoredDevice(GstDevice* device) : device_(device) {}  // takes the reference
  ~MonitoredDevice() override { gst_object_unref(device_); }
  MonitoredDevice(const MonitoredDevice&) = delete;
  MonitoredDevice& operator=(const MonitoredDevice&) = delete;

  // GStreamer devices carry a display name and no description.
  bool readProperty(const std::string& name, std::string& value) const override {
    if (name != "FriendlyName") return false;
    gchar* display = gst_device_get_display_name(device_);
    if (display == nullptr) return false;
    value = display;
    g_free(display);
    return true;
  }

  GstElement* bindToObject() override {
    GstElement* element = gst_device_create_element(device_, nullptr);
    return element != nullptr ? GST_ELEMENT(gst_object_ref_sink(element)) : nullptr;
  }

  GstCaps* modes() const override { return gst_device_get_caps(device_); }

  std::string key() const override {
    GstStructure* props = gst_device_get_properties(device_);
    std::string k = cameraKey(props);
    if (props != nullptr) gst_structure_free(props);
    return k;
  }

  // The key that keeps the order stable across enumerations: the device node, whichever
  // provider describes it, then the name.
  std::string sortKey() const {
    std::string path;
    if (GstStructure* props = gst_device_get_properties(device_)) {
      for (const char* field : {"device.path", "api.v4l2.path", "object.path"}) {
        if (const gchar* s = gst_structure_get_string(props, field)) {
          path = s;
          break;
        }
      }
      gst_structure_free(props);
    }
    std::string name;
    readProperty("FriendlyName", name);
    return path + '\n' + name;
  }

 private:
  GstDevice* device_;
};

std::mutex ownLoopbackMutex;
std::string ownLoopback;

// Our own virtual camera, offered back to us: the PipeWire node by its name, a loopback
// device by the path we write.
bool isOwnVirtualCamera(GstDevice* device) {
  GstStructure* props = gst_device_get_properties(device);
  if (props == nullptr) return false;
  bool own = false;
  if (const gchar* node = gst_structure_get_string(props, "node.name"))
    own = std::string(node) == kOwnCameraNodeName;
  const std::string written = ownLoopbackDevice();
  for (const char* field : {"device.path", "api.v4l2.path"})
    if (const gchar* path = gst_structure_get_string(props, field))
      own = own || (!written.empty() && written == path);
  gst_structure_free(props);
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

std::vector<std::unique_ptr<CaptureDevice>> MonitorDeviceList::videoInputDevices() {
  std::vector<std::unique_ptr<MonitoredDevice>> found;
  GstDeviceMonitor* monitor = gst_device_monitor_new();
  gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
  // The monitor hides providers that another one stands in front of (show-all stays off),
  // so each camera is listed once.
  GList* devices = gst_device_monitor_get_devices(monitor);
  for (GList* l = devices; l != nullptr; l = l->next) {
    if (isOwnVirtualCamera(GST_DEVICE(l->data))) {
      gst_object_unref(l->data);
      continue;
    }
    found.push_back(std::make_unique<MonitoredDevice>(GST_DEVICE(l->data)));
  }
  g_list_free(devices);
  gst_object_unref(monitor);

  std::vector<std::pair<std::string, std::unique_ptr<MonitoredDevice>>> keyed;
  for (auto& d : found) keyed.emplace_back(d->sortKey(), std::move(d));
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::unique_ptr<CaptureDevice>> out;
  for (auto& [key, d] : keyed) out.push_back(std::move(d));
  return out;
}

}  // namespace vz
