// Telling the program that runs the conduit what its front ends could not
// do, where its exports have no way to say it.
#pragma once

#include <string>

// No display and no terminal: the configuration or the wizard was not shown.
void HostReportNothingShown();

// No display and no terminal: a login prompt could not be shown.
void HostReportLoginNotAsked();

// The progress dialog's bar (percent) and task, for the host to pass on.
void HostReportProgress(int percent, const std::string& task);
