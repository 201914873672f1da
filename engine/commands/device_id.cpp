// The device command: the identifier later list and pget requests carry.
#include "engine/tarvo_conduit.h"
#include "resources/trace.h"

void CTarvoConduit::RunCommandDeviceId(std::string cmd) {
  TarvoTrace("CTarvoConduit::RunCommandDeviceId(CString cmd)");
  m_device_id = GetAttribute(cmd, "id", "");
  TarvoTrace("m_device_id: \"%s\"", m_device_id.c_str());
}
