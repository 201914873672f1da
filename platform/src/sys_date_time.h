// The handheld's clock as the Sync Manager API hands it out (SysDateTime)
// and as the link carries it (dlp::DateTime): the same wall-clock fields.
// Palm seconds go through dlp::dateFromPalm and dlp::palmFromDate.
#pragma once

#include "dlp/wire.h"
#include "hotsync/sync_types.h"

namespace hotsync::detail {

inline SysDateTime sysDateTime(const dlp::DateTime& d) {
  return SysDateTime{d.year, d.month, d.day, d.hour, d.minute, d.second, 0};
}

inline dlp::DateTime dlpDateTime(const SysDateTime& d) {
  return dlp::DateTime{d.m_Year, d.m_Month, d.m_Day, d.m_Hour, d.m_Minute, d.m_Second};
}

}  // namespace hotsync::detail
