#include "handheld/host_cancel.h"

#include "hotsync/host.h"

bool HostCancelRequested() { return hotsync::cancelRequested() || !hotsync::handheldLost().empty(); }
