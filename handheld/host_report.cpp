#include "handheld/host_report.h"

#include "hotsync/host.h"

void HostReportNothingShown() { hotsync::reportNothingShown(); }

void HostReportLoginNotAsked() { hotsync::reportLoginNotAsked(); }

void HostReportProgress(int percent, const std::string& task) { hotsync::reportProgress(percent, task); }
