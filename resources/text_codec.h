// The conduit side names the codec through its lowest library; the codec
// itself is the platform's text library, shared with libhotsync and the host.
#pragma once

#include "text/cp1252.h"
