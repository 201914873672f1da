// libusb-1.0 behind the USB seam. Hot-plug events come through libusb's own
// descriptors, polled together with the caller's cancel descriptor; where
// libusb has no hot-plug support the bus is polled.
#include <libusb.h>
#include <poll.h>

#include <algorithm>
#include <vector>

#include "link/usb/usb_bus.h"
#include "link/usb/usb_ids.h"

namespace hotsync::detail {
namespace {

constexpr std::chrono::milliseconds kPollInterval{500};

UsbStatus statusOf(int code) {
  switch (code) {
    case LIBUSB_ERROR_TIMEOUT:
      return UsbStatus::Timeout;
    case LIBUSB_ERROR_PIPE:
      return UsbStatus::Stall;
    case LIBUSB_ERROR_NO_DEVICE:
      return UsbStatus::Gone;
    default:
      return UsbStatus::Error;
  }
}

unsigned int millis(std::chrono::milliseconds t) {
  return static_cast<unsigned int>(std::clamp<int64_t>(t.count(), 1, 0x7FFFFFFF));
}

class LibusbHandle : public UsbHandle {
 public:
  LibusbHandle(libusb_device_handle* handle, int interface, uint8_t in, uint8_t out)
      : handle_(handle), interface_(interface), in_(in), out_(out) {}
  ~LibusbHandle() override {
    libusb_release_interface(handle_, interface_);
    libusb_close(handle_);
  }

  UsbTransfer controlIn(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, std::span<uint8_t> data,
                        std::chrono::milliseconds timeout) override {
    const int n =
        libusb_control_transfer(handle_, requestType, request, value, index, data.data(),
                                static_cast<uint16_t>(std::min<std::size_t>(data.size(), 0xFFFF)), millis(timeout));
    if (n < 0) return {statusOf(n), 0};
    return {UsbStatus::Ok, static_cast<std::size_t>(n)};
  }

  UsbTransfer bulkRead(uint8_t endpoint, std::span<uint8_t> data, std::chrono::milliseconds timeout) override {
    return bulk(endpoint, data.data(), data.size(), timeout);
  }

  UsbTransfer bulkWrite(uint8_t endpoint, std::span<const uint8_t> data, std::chrono::milliseconds timeout) override {
    // libusb takes a mutable buffer for both directions; an OUT transfer only reads it.
    return bulk(endpoint, const_cast<uint8_t*>(data.data()), data.size(), timeout);
  }

  bool firstBulkEndpoints(uint8_t* in, uint8_t* out) override {
    *in = in_;
    *out = out_;
    return in_ != 0 && out_ != 0;
  }

 private:
  UsbTransfer bulk(uint8_t endpoint, uint8_t* data, std::size_t size, std::chrono::milliseconds timeout) {
    int moved = 0;
    const int rc = libusb_bulk_transfer(handle_, endpoint, data, static_cast<int>(std::min<std::size_t>(size, 1 << 20)),
                                        &moved, millis(timeout));
    return {rc == 0 ? UsbStatus::Ok : statusOf(rc), static_cast<std::size_t>(std::max(moved, 0))};
  }

  libusb_device_handle* handle_;
  int interface_;
  uint8_t in_;
  uint8_t out_;
};

class LibusbBus : public UsbBus {
 public:
  explicit LibusbBus(libusb_context* context) : context_(context) {
    if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0) {
      const int rc = libusb_hotplug_register_callback(
          context_, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, LIBUSB_HOTPLUG_NO_FLAGS, LIBUSB_HOTPLUG_MATCH_ANY,
          LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY, &LibusbBus::arrived, this, &hotplug_);
      hotplugOn_ = rc == LIBUSB_SUCCESS;
    }
  }
  ~LibusbBus() override {
    if (hotplugOn_) libusb_hotplug_deregister_callback(context_, hotplug_);
    libusb_exit(context_);
  }

  std::vector<UsbDeviceInfo> devices() override {
    std::vector<UsbDeviceInfo> found;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    for (ssize_t i = 0; i < count; ++i) {
      libusb_device_descriptor descriptor{};
      if (libusb_get_device_descriptor(list[i], &descriptor) != 0) continue;
      found.push_back(UsbDeviceInfo{libusb_get_bus_number(list[i]), libusb_get_device_address(list[i]),
                                    descriptor.idVendor, descriptor.idProduct});
    }
    if (count >= 0) libusb_free_device_list(list, 1);
    return found;
  }

  std::unique_ptr<UsbHandle> open(const UsbDeviceInfo& device, std::string* error) override {
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    libusb_device* chosen = nullptr;
    for (ssize_t i = 0; i < count && chosen == nullptr; ++i) {
      if (libusb_get_bus_number(list[i]) == device.bus && libusb_get_device_address(list[i]) == device.address) {
        chosen = list[i];
      }
    }
    std::unique_ptr<UsbHandle> opened = chosen ? openDevice(chosen, device, error) : nullptr;
    if (chosen == nullptr) *error = "the USB device at " + device.where() + " left the bus";
    if (count >= 0) libusb_free_device_list(list, 1);
    return opened;
  }

  void waitForArrival(std::chrono::milliseconds limit, int cancelFd) override {
    const auto end = std::chrono::steady_clock::now() + limit;
    arrivedFlag_ = false;
    do {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      std::vector<pollfd> fds;
      if (cancelFd >= 0) fds.push_back({cancelFd, POLLIN, 0});
      if (hotplugOn_) {
        const libusb_pollfd** usbFds = libusb_get_pollfds(context_);
        for (const libusb_pollfd** p = usbFds; p != nullptr && *p != nullptr; ++p) {
          fds.push_back({(*p)->fd, (*p)->events, 0});
        }
        libusb_free_pollfds(usbFds);
      }
      const auto wait = hotplugOn_ ? left : std::min(left, kPollInterval);
      const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(std::max<int64_t>(wait.count(), 0)));
      if (cancelFd >= 0 && fds[0].revents != 0) return;
      if (!hotplugOn_) return;
      if (ready > 0) {
        timeval zero{0, 0};
        libusb_handle_events_timeout_completed(context_, &zero, nullptr);
      }
    } while (!arrivedFlag_ && std::chrono::steady_clock::now() < end);
  }

 private:
  static int LIBUSB_CALL arrived(libusb_context*, libusb_device*, libusb_hotplug_event, void* self) {
    static_cast<LibusbBus*>(self)->arrivedFlag_ = true;
    return 0;  // stay registered
  }

  std::unique_ptr<UsbHandle> openDevice(libusb_device* chosen, const UsbDeviceInfo& device, std::string* error) {
    const std::string what = "the USB device " + usbIds(device.vendor, device.product) + " at " + device.where();
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(chosen, &config) != 0 || config->bNumInterfaces < 1 ||
        config->interface[0].num_altsetting < 1) {
      if (config != nullptr) libusb_free_config_descriptor(config);
      *error = what + " has no interface to claim";
      return nullptr;
    }
    const libusb_interface_descriptor& setting = config->interface[0].altsetting[0];
    const int interface = setting.bInterfaceNumber;
    uint8_t in = 0;
    uint8_t out = 0;
    for (int i = 0; i < setting.bNumEndpoints; ++i) {
      const libusb_endpoint_descriptor& e = setting.endpoint[i];
      if ((e.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
      uint8_t& slot = (e.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0 ? in : out;
      if (slot == 0) slot = e.bEndpointAddress & 0x0F;
    }
    libusb_free_config_descriptor(config);

    libusb_device_handle* handle = nullptr;
    int rc = libusb_open(chosen, &handle);
    if (rc == 0) {
      // The kernel's visor driver may hold it; it gets it back when we let go.
      libusb_set_auto_detach_kernel_driver(handle, 1);
      rc = libusb_claim_interface(handle, interface);
      if (rc != 0) libusb_close(handle);
    }
    if (rc == LIBUSB_ERROR_ACCESS) {
      *error = what +
               ": no permission to open it (is the udev rule 60-tarvo-hotsync.rules installed? see "
               "docs/install.md)";
    } else if (rc == LIBUSB_ERROR_BUSY) {
      *error = what + " is taken by another program";
    } else if (rc != 0) {
      *error = what + ": " + libusb_strerror(rc);
    }
    if (rc != 0) return nullptr;
    return std::make_unique<LibusbHandle>(handle, interface, in, out);
  }

  libusb_context* context_;
  libusb_hotplug_callback_handle hotplug_ = 0;
  bool hotplugOn_ = false;
  bool arrivedFlag_ = false;
};

}  // namespace

std::unique_ptr<UsbBus> openLibusbBus(std::string* error) {
  libusb_context* context = nullptr;
  const int rc = libusb_init(&context);
  if (rc != 0) {
    *error = std::string("libusb cannot start: ") + libusb_strerror(rc);
    return nullptr;
  }
  return std::make_unique<LibusbBus>(context);
}

}  // namespace hotsync::detail
