// Why the conversation with a server did not go through, and the desktop
// log line that says so. The first failure of a conversation is the one
// reported: what follows it is usually its consequence.
#pragma once

#include <cstdint>
#include <string>

class CTarvoServer;

struct ServerFailure {
  enum class Kind {
    kNone,
    kUnreachable,       // the transport failed; code is the Internet error
    kTimedOut,          // no connection or no progress within the time-out
    kHttpError,         // code is the HTTP status
    kEmptyAnswer,       // a request the server answered with nothing
    kUnreadableAnswer,  // an answer without an envelope
    kLoginDeclined,     // nobody confirmed the login dialog
    kLoginTimedOut,     // the login dialog's countdown ran out
  };
  Kind kind = Kind::kNone;
  uint32_t code = 0;

  explicit operator bool() const { return kind != Kind::kNone; }
};

// The failure a page fetch that raised Internet error `error` stands for
// (`httpStatus`: the final status of the exchange).
ServerFailure FetchFailure(uint32_t error, uint32_t httpStatus);

// The log line (Windows-1252) naming the server by its caption, else its
// host, else its address.
std::string ServerFailureText(const ServerFailure& failure, const CTarvoServer& server);
