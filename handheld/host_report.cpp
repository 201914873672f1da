#include "handheld/host_report.h"

#include "hotsync/host.h"

void HostReportNothingShown() { hotsync::reportNothingShown(); }

void HostReportProgress(int percent, const std::string& task) { hotsync::reportProgress(percent, task); }
