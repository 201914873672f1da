#include "dlp/messages.h"

#include <algorithm>

namespace dlp {

namespace {
constexpr std::size_t kDbNameField = 32;
}

void putDbEntry(Writer& w, const DbEntry& e) {
  std::string name = e.name.substr(0, kDbNameField - 1);
  std::size_t size = 44 + name.size() + 1;
  if (size % 2) ++size;  // entries stay at even offsets
  w.u8(static_cast<uint8_t>(size)).u8(e.miscFlags).u16(e.flags).u32(e.type).u32(e.creator).u16(e.version);
  w.u32(e.modNumber).date(e.created).date(e.modified).date(e.backedUp).u16(e.index).text(name);
  if ((44 + name.size() + 1) % 2) w.u8(0);
}

DbEntry getDbEntry(Reader& r) {
  const std::size_t size = r.u8();
  if (size < 45) throw WireError("a database list entry of " + std::to_string(size) + " bytes");
  Reader e(r.take(size - 1));
  DbEntry d;
  d.miscFlags = e.u8();
  d.flags = e.u16();
  d.type = e.u32();
  d.creator = e.u32();
  d.version = e.u16();
  d.modNumber = e.u32();
  d.created = e.date();
  d.modified = e.date();
  d.backedUp = e.date();
  d.index = e.u16();
  d.name = e.text(std::min(e.remaining(), kDbNameField));
  return d;
}

void putUserInfo(Writer& w, const UserInfo& u) {
  const std::string name = u.name.substr(0, 40);
  const std::size_t password = std::min<std::size_t>(u.password.size(), 0xFF);
  w.u32(u.userId).u32(u.viewerId).u32(u.lastSyncPc).date(u.lastGoodSync).date(u.lastSync);
  w.u8(static_cast<uint8_t>(name.size() + 1)).u8(static_cast<uint8_t>(password)).text(name);
  w.bytes(std::span(u.password).first(password));
}

UserInfo getUserInfo(Reader& r) {
  UserInfo u;
  u.userId = r.u32();
  u.viewerId = r.u32();
  u.lastSyncPc = r.u32();
  u.lastGoodSync = r.date();
  u.lastSync = r.date();
  const std::size_t nameLength = r.u8();
  const std::size_t passwordLength = r.u8();
  const auto name = r.take(nameLength);
  // The length counts the terminating zero when there is one.
  u.name.assign(name.begin(), std::find(name.begin(), name.end(), uint8_t{0}));
  const auto password = r.take(passwordLength);
  u.password.assign(password.begin(), password.end());
  return u;
}

std::string errorText(uint16_t error) {
  switch (error) {
    case ErrNone:
      return "no error";
    case ErrSystem:
      return "system error";
    case ErrIllegalRequest:
      return "illegal request";
    case ErrMemory:
      return "out of memory";
    case ErrParam:
      return "bad parameter";
    case ErrNotFound:
      return "not found";
    case ErrNoneOpen:
      return "no database open";
    case ErrAlreadyOpen:
      return "already open";
    case ErrTooManyOpen:
      return "too many open";
    case ErrExists:
      return "already exists";
    case ErrOpen:
      return "database open";
    case ErrDeleted:
      return "deleted";
    case ErrBusy:
      return "busy";
    case ErrNotSupported:
      return "not supported";
    case ErrReadOnly:
      return "read-only";
    case ErrSpace:
      return "out of space";
    case ErrLimit:
      return "limit exceeded";
    case ErrSync:
      return "cancelled";
    case ErrArgument:
      return "bad argument";
    case ErrSize:
      return "bad size";
    default:
      return "error " + std::to_string(error);
  }
}

}  // namespace dlp
