// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gst/gst.h>

#include <memory>
#include <string>
#include <vector>

namespace vz {

// One video capture device, as the device list offers it.
class CaptureDevice {
 public:
  virtual ~CaptureDevice() = default;
  // A named property ("FriendlyName", "Description") as UTF-8; false when the device has
  // no such property.
  virtual bool readProperty(const std::string& name, std::string& value) const = 0;
  // The device's own source element (a full reference the caller owns), or null.
  virtual GstElement* bindToObject() = 0;
  // The formats the device announces (a reference the caller owns), or null when it
  // announces none before it is opened.
  virtual GstCaps* modes() const { return nullptr; }
  // What names this camera across replugs and runs (cameraKey); empty when unknown.
  virtual std::string key() const { return {}; }
};

// Told on the GUI thread of each camera that appears or goes, by its key (CaptureDevice::key).
class DeviceListener {
 public:
  virtual ~DeviceListener() = default;
  virtual void deviceAdded(const std::string& key) = 0;
  virtual void deviceRemoved(const std::string& key) = 0;
};

// The video capture devices present now, in a stable order.
class DeviceList {
 public:
  virtual ~DeviceList() = default;
  virtual std::vector<std::unique_ptr<CaptureDevice>> videoInputDevices() = 0;
  // A list that cannot watch its devices tells nobody anything.
  virtual void addListener(DeviceListener*) {}
  virtual void removeListener(DeviceListener*) {}
};

// The system's cameras and capture cards, through the process's one GStreamer device monitor:
// it runs from first use to the end of the process, so its list is always current, and its
// notices reach the listeners through the default GLib main context, which the GUI thread's
// event loop runs. Providers are one per process: another monitor would take their messages.
class MonitorDeviceList final : public DeviceList {
 public:
  std::vector<std::unique_ptr<CaptureDevice>> videoInputDevices() override;
  void addListener(DeviceListener* listener) override;
  void removeListener(DeviceListener* listener) override;
};

// The device question never offers the program's own virtual camera: the PipeWire node of
// this name, nor the loopback device it writes (set while it does; empty: none).
inline constexpr const char* kOwnCameraNodeName = "videozarnix";
void setOwnLoopbackDevice(const std::string& path);
std::string ownLoopbackDevice();

}  // namespace vz
