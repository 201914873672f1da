#include "handheld/mobile_device_sync.h"

CMobileDeviceSync* g_pMobileDeviceSync = nullptr;

CMobileDeviceSync::~CMobileDeviceSync() = default;
