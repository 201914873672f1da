// Telling the program that runs the conduit what its front ends could not
// do, where its exports have no way to say it.
#pragma once

// No display and no terminal: the configuration or the wizard was not shown.
void HostReportNothingShown();
