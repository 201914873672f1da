#include "handheld/host_report.h"

#include "hotsync/host.h"

void HostReportNothingShown() { hotsync::reportNothingShown(); }
