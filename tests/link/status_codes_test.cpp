// A status a played handheld answers reaches the conduit as the same status.
#include <gtest/gtest.h>

#include "link/status_codes.h"

namespace {

using hotsync::detail::dlpErrorOf;
using hotsync::detail::syncStatusOf;

TEST(StatusCodes, EachStatusCrossesTheLinkAndComesBackTheSame) {
  for (const int32_t status : {SYNCERR_NONE, SYNCERR_NOT_FOUND, SYNCERR_FILE_NOT_OPEN, SYNCERR_FILE_OPEN,
                               SYNCERR_READ_ONLY, SYNCERR_NOT_ENOUGH_SPACE, SYNCERR_LIMIT_EXCEEDED, SYNCERR_BAD_ARG}) {
    EXPECT_EQ(syncStatusOf(dlpErrorOf(status)), status) << std::hex << status;
  }
  // A handheld's own words for the same thing.
  EXPECT_EQ(syncStatusOf(dlp::ErrDeleted), SYNCERR_NOT_FOUND);
  EXPECT_EQ(syncStatusOf(dlp::ErrMemory), SYNCERR_NOT_ENOUGH_SPACE);
  EXPECT_EQ(syncStatusOf(dlp::ErrSize), SYNCERR_BAD_ARG);
  // A buffer too small on the handheld's side is a size error on the wire.
  EXPECT_EQ(dlpErrorOf(SYNCERR_LOCAL_BUFF_TOO_SMALL), dlp::ErrSize);
  EXPECT_EQ(syncStatusOf(dlp::ErrBusy), SYNCERR_UNKNOWN);
  EXPECT_EQ(dlpErrorOf(SYNCERR_UNKNOWN), dlp::ErrSystem);
}

}  // namespace
