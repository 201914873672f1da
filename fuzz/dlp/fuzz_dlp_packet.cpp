// Arbitrary bytes as a frame header, a request, a response and the messages
// of the table: each decoder refuses them or accepts them, never reads
// outside them, and what it accepts encodes back to a packet that decodes
// to the same thing.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "dlp/packet.h"
#include "dlp/table.h"

namespace {

// Every query and answer layout of the table on the same arguments.
template <typename... M>
void decodeAll(const std::vector<dlp::Arg>& args) {
  const auto each = [&](auto decode) {
    try {
      (void)decode(args);
    } catch (const dlp::WireError&) {
    }
  };
  (each([](dlp::Args a) { return M::Query::decode(a); }), ...);
  (each([](dlp::Args a) { return M::Answer::decode(a); }), ...);
}

void decodeTable(const std::vector<dlp::Arg>& args) {
  namespace msg = dlp::msg;
  decodeAll<msg::ReadUserInfo, msg::ReadSysInfo, msg::GetSysDateTime, msg::SetSysDateTime, msg::ReadStorageInfo,
            msg::ReadFeature, msg::ReadDBList, msg::OpenDB, msg::CreateDB, msg::CloseDB, msg::DeleteDB,
            msg::ReadOpenDBInfo, msg::CleanUpDatabase, msg::ResetSyncFlags, msg::ReadAppBlock, msg::WriteAppBlock,
            msg::ReadRecord, msg::WriteRecord, msg::DeleteRecord, msg::ReadResource, msg::WriteResource,
            msg::AddSyncLogEntry, msg::OpenConduit, msg::EndOfSync>(args);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  try {
    (void)dlp::decodeFrameHeader(bytes.first(std::min<size_t>(size, dlp::kFrameHeaderSize)));
  } catch (const dlp::WireError&) {
  }
  try {
    const dlp::Request request = dlp::decodeRequest(bytes);
    if (!(dlp::decodeRequest(dlp::encodeRequest(request)) == request)) std::abort();
    decodeTable(request.args);
  } catch (const dlp::WireError&) {
  }
  try {
    const dlp::Response response = dlp::decodeResponse(bytes);
    if (!(dlp::decodeResponse(dlp::encodeResponse(response)) == response)) std::abort();
    decodeTable(response.args);
  } catch (const dlp::WireError&) {
  }
  return 0;
}
