// Whether the program that runs the HotSync has asked it to stop (a signal,
// a closed window), or the handheld went away. The progress dialog and the
// login dialogs look at it while they wait, so any front end ends the
// HotSync the same way.
#pragma once

bool HostCancelRequested();
