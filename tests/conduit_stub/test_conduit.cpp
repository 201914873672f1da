// The test conduit. Each step reports through the host's progress callback
// with a line starting "stub:", which the host tests look for.
//
// Environment:
//   TARVO_STUB_DB      a database on card 0 to append one record to
//   TARVO_STUB_TEXT    that record's text (default "written by the test conduit")
//   TARVO_STUB_INSTALL a file to queue through InstallFile
//   TARVO_STUB_RESULT  the value OpenConduit returns (default 1)
//   TARVO_STUB_THROW   throw inside OpenConduit after registering
//   TARVO_STUB_HANG    make that file (so a test knows it got there), then never
//                      return, deaf to the host's Cancel
//   TARVO_STUB_ENV     append the desktop session it runs in to that file
//                      (DISPLAY, WAYLAND_DISPLAY, DBUS_SESSION_BUS_ADDRESS, LANG)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "handheld/palm_sync.h"
#include "hotsync/conduit_api.h"
#include "hotsync/hslog.h"

#define STUB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

void report(PROGRESSFN progress, const std::string& text) { progress(("stub: " + text).c_str()); }

std::string fourChars(uint32_t code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) text += static_cast<char>(code >> shift);
  return text;
}

void reportUser(PROGRESSFN progress, CMobileDeviceSync& device, const CSyncProperties& props) {
  UserInfo user{};
  device.ReadUserInfo(user);
  report(progress, "user " + std::string(user.m_pName) + " id " + std::to_string(user.m_Id));
  report(progress, "install target " + std::string(props.m_UserName));
  uint16_t minor = 0;
  const uint16_t major = device.GetHHOSVersion(minor);
  uint32_t processor = 0;
  device.ReadFeature(0x70737973 /* psys */, 2, processor);
  report(progress,
         "os " + std::to_string(major) + "." + std::to_string(minor) + " processor " + std::to_string(processor));
}

void reportCards(PROGRESSFN progress, CMobileDeviceSync& device) {
  for (int card = 0; card < 64; ++card) {
    CardInfo info{};
    info.m_CardNo = static_cast<uint8_t>(card);
    const int32_t status = device.ReadSingleCardInfo(info);
    if (status == SYNCERR_NOT_FOUND) break;
    if (status != SYNCERR_NONE) continue;
    std::vector<CDbList> list(info.m_ramDbCount);
    int count = static_cast<int>(list.size());
    if (count > 0) device.ReadDBList(static_cast<uint8_t>(card), 0, DB_LIST_RAM, list.data(), count);
    std::string line = "card " + std::to_string(card) + ":";
    for (int i = 0; i < count; ++i) {
      line += std::string(i == 0 ? " " : ", ") + list[i].m_Name + " (" + fourChars(list[i].m_DbType) + "/" +
              fourChars(list[i].m_Creator) + ")";
    }
    report(progress, line);
  }
}

void writeRecord(PROGRESSFN progress, CMobileDeviceSync& device, const char* name) {
  uint8_t handle = 0;
  const int32_t opened = device.OpenDB(name, 0, handle, kOpenReadWrite);
  if (opened != SYNCERR_NONE) {
    report(progress, "cannot open " + std::string(name) + " status " + std::to_string(opened));
    return;
  }
  const char* env = std::getenv("TARVO_STUB_TEXT");
  std::string text = env ? env : "written by the test conduit";
  RecordInfo rec{};
  rec.m_FileHandle = handle;
  rec.m_RecSize = static_cast<uint32_t>(text.size());
  rec.m_pBytes = reinterpret_cast<uint8_t*>(text.data());
  const int32_t status = device.WriteRecord(rec);
  device.CloseDB(handle);
  report(progress,
         "wrote record id " + std::to_string(rec.m_RecId) + " into " + name + " status " + std::to_string(status));
}

int32_t run(PROGRESSFN progress, CSyncProperties& props) {
  auto device = std::make_unique<CPalmSync>();
  g_pMobileDeviceSync = device.get();
  uint32_t handle = 0;
  const int32_t registered = g_pMobileDeviceSync->RegisterConduit(handle);
  if (registered != 0) {
    report(progress, "register failed " + std::to_string(registered));
    g_pMobileDeviceSync = nullptr;
    return registered;
  }
  report(progress, "registered");
  reportUser(progress, *g_pMobileDeviceSync, props);
  reportCards(progress, *g_pMobileDeviceSync);
  if (const char* db = std::getenv("TARVO_STUB_DB")) writeRecord(progress, *g_pMobileDeviceSync, db);
  if (const char* file = std::getenv("TARVO_STUB_INSTALL")) {
    const int32_t status = g_pMobileDeviceSync->InstallFile(props.m_UserName, file, -1);
    report(progress, "queued " + std::string(file) + " status " + std::to_string(status));
  }
  if (const char* file = std::getenv("TARVO_STUB_ENV")) {
    if (FILE* out = std::fopen(file, "a")) {
      for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "LANG"}) {
        const char* value = std::getenv(name);
        std::fprintf(out, "%s=%s\n", name, value ? value : "(unset)");
      }
      std::fclose(out);
    }
  }
  if (std::getenv("TARVO_STUB_THROW") != nullptr) throw std::runtime_error("thrown on request");
  if (const char* hang = std::getenv("TARVO_STUB_HANG")) {
    report(progress, "hanging");
    if (FILE* mark = std::fopen(hang, "w")) std::fclose(mark);
    for (;;) ::pause();
  }
  g_pMobileDeviceSync->AddLogEntry("Test conduit was here\n");
  LogAddEntry("Test conduit ran", slText, 0);
  g_pMobileDeviceSync->UnregisterConduit(handle);
  g_pMobileDeviceSync = nullptr;
  report(progress, "unregistered");
  const char* result = std::getenv("TARVO_STUB_RESULT");
  return result ? static_cast<int32_t>(std::strtol(result, nullptr, 10)) : 1;
}

}  // namespace

STUB_EXPORT int32_t OpenConduit(PROGRESSFN progress, CSyncProperties& props) {
  if (progress == nullptr) return -1;
  // Whatever goes wrong in here is a failed HotSync, never a quiet one.
  try {
    return run(progress, props);
  } catch (const std::exception& e) {
    g_pMobileDeviceSync = nullptr;
    progress((std::string("stub: failed: ") + e.what()).c_str());
  } catch (...) {
    g_pMobileDeviceSync = nullptr;
  }
  return -1;
}

STUB_EXPORT int32_t GetConduitName(char* name, uint16_t size) {
  if (size == 0) return 0;
  std::memset(name, 0, size);
  std::strncpy(name, "TestConduit", size - 1);
  return 0;
}

STUB_EXPORT uint32_t GetConduitVersion() { return 0x101; }

STUB_EXPORT int32_t GetConduitInfo(ConduitInfoEnum, void*, void*, uint32_t*) { return 0x1070; }
