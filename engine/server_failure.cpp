// Failures of a server conversation: noted as they happen, reported once
// per server in the desktop HotSync log, where the host reads them back.
#include "engine/server_failure.h"

#include <cstdio>

#include "engine/commands/login_prompt.h"
#include "engine/envelope.h"
#include "engine/tarvo_conduit.h"
#include "handheld/platform_services.h"
#include "http/internet_error.h"
#include "resources/rcstring.h"
#include "ui/progress/conduit_progress.h"

namespace {

unsigned TextId(ServerFailure::Kind kind) {
  using Kind = ServerFailure::Kind;
  switch (kind) {
    case Kind::kUnreachable:
      return tarvo::res::kServerUnreachable;
    case Kind::kTimedOut:
      return tarvo::res::kServerTimedOut;
    case Kind::kHttpError:
      return tarvo::res::kServerHttpError;
    case Kind::kEmptyAnswer:
      return tarvo::res::kServerEmptyAnswer;
    case Kind::kUnreadableAnswer:
      return tarvo::res::kServerUnreadableAnswer;
    case Kind::kLoginDeclined:
      return tarvo::res::kLoginDeclined;
    case Kind::kLoginTimedOut:
      return tarvo::res::kLoginTimedOut;
    case Kind::kNone:
      break;
  }
  return 0;
}

}  // namespace

ServerFailure FetchFailure(uint32_t error, uint32_t httpStatus) {
  using Kind = ServerFailure::Kind;
  if (error == kErrorHttpInvalidServerResponse && httpStatus != 0) return {Kind::kHttpError, httpStatus};
  if (error == kErrorInternetTimeout) return {Kind::kTimedOut, error};
  return {Kind::kUnreachable, error};
}

std::string ServerFailureText(const ServerFailure& failure, const CTarvoServer& server) {
  std::string name = server.sCaption;
  if (name.empty()) name = HostOfUrl(server.sUrl);
  if (name.empty()) name = server.sUrl;
  // Every text has the server's name first and at most one number after it.
  const RCString format(TextId(failure.kind));
  const int size = std::snprintf(nullptr, 0, format.c_str(), name.c_str(), failure.code);
  if (size < 0) return name;
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  std::snprintf(text.data(), text.size(), format.c_str(), name.c_str(), failure.code);
  text.resize(static_cast<std::size_t>(size));
  return text;
}

void CTarvoConduit::NoteServerFailure(const ServerFailure& failure) {
  // A cancelled HotSync is no server's fault.
  if (m_dlgprg && m_dlgprg->m_cancel) return;
  if (!m_serverFailure) m_serverFailure = failure;
}

// Here rather than beside the envelope reader, which the fuzz targets build
// alone: reading an answer also notes one that is empty or unreadable.
void CTarvoConduit::ParseResponse(std::string page) {
  NoteAnswer(page);
  tarvo::engine::ReadEnvelopeCommands(page, m_commands);
}

void CTarvoConduit::NoteAnswer(const std::string& page) {
  if (!m_pageOk || page.find("<tarvoconduit>") != std::string::npos) return;
  NoteServerFailure({page.empty() ? ServerFailure::Kind::kEmptyAnswer : ServerFailure::Kind::kUnreadableAnswer, 0});
}

void CTarvoConduit::ReportServerFailure(const CTarvoServer& server) {
  const ServerFailure failure = m_serverFailure;
  m_serverFailure = {};
  if (!failure || (m_dlgprg && m_dlgprg->m_cancel)) return;
  tarvo::handheld::AddDesktopLogEntry(ServerFailureText(failure, server).c_str(),
                                      tarvo::handheld::LogActivity::Warning);
}
