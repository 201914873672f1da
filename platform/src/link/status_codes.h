// The Sync Manager's status codes and the DLP errors a handheld answers
// with, in one table that both ends of a link read: the desktop turns a
// handheld's error into the status a conduit sees, the played handheld
// turns its folder's status into the error it answers.
#pragma once

#include <cstdint>

#include "dlp/messages.h"
#include "hotsync/sync_types.h"

namespace hotsync::detail {

struct StatusPair {
  int32_t status;
  dlp::Error error;
};

// Where a status or an error has several partners, the first row wins.
inline constexpr StatusPair kStatusPairs[] = {
    {SYNCERR_NONE, dlp::ErrNone},
    {SYNCERR_NOT_FOUND, dlp::ErrNotFound},
    {SYNCERR_NOT_FOUND, dlp::ErrDeleted},
    {SYNCERR_FILE_NOT_OPEN, dlp::ErrNoneOpen},
    {SYNCERR_FILE_OPEN, dlp::ErrOpen},
    {SYNCERR_FILE_OPEN, dlp::ErrAlreadyOpen},
    {SYNCERR_READ_ONLY, dlp::ErrReadOnly},
    {SYNCERR_NOT_ENOUGH_SPACE, dlp::ErrSpace},
    {SYNCERR_NOT_ENOUGH_SPACE, dlp::ErrMemory},
    {SYNCERR_LIMIT_EXCEEDED, dlp::ErrLimit},
    {SYNCERR_LIMIT_EXCEEDED, dlp::ErrTooManyOpen},
    {SYNCERR_BAD_ARG, dlp::ErrParam},
    {SYNCERR_BAD_ARG, dlp::ErrArgument},
    {SYNCERR_BAD_ARG, dlp::ErrSize},
    {SYNCERR_LOCAL_BUFF_TOO_SMALL, dlp::ErrSize},
};

// What a conduit sees for a handheld's error; SYNCERR_UNKNOWN for any other.
constexpr int32_t syncStatusOf(uint16_t error) {
  for (const StatusPair& p : kStatusPairs) {
    if (p.error == error) return p.status;
  }
  return SYNCERR_UNKNOWN;
}

// What a handheld answers for a status; ErrSystem for any other.
constexpr dlp::Error dlpErrorOf(int32_t status) {
  for (const StatusPair& p : kStatusPairs) {
    if (p.status == status) return p.error;
  }
  return dlp::ErrSystem;
}

}  // namespace hotsync::detail
