// The desktop's end of any link: a handheld that answered the opening
// exchange becomes the Sync Manager's device.
#pragma once

#include <memory>
#include <string>

#include "link/link.h"

namespace hotsync::detail {

// Reads the handheld's system and user information over `link` and
// attaches it as the connected handheld. False with *error when a handheld
// is connected already; throws LinkError when the handheld does not answer.
bool attachLinkedHandheld(std::unique_ptr<Link> link, std::string* error);

// The read end that stopListening makes readable, emptied of earlier stops.
int stopPipe();

}  // namespace hotsync::detail
