// The library exports only what the HotSync host calls; everything else is
// hidden (the library is built with -fvisibility=hidden).
#pragma once

#define TARVO_EXPORT extern "C" __attribute__((visibility("default")))
