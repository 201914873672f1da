// The error a failed HTTP exchange raises: a 32-bit code in the numbering the
// sync path has always used (the WinInet one), so callers and logs keep
// speaking the same codes whatever transport sits underneath.
#pragma once

#include <cstdint>
#include <exception>

// Codes the client raises itself.
constexpr uint32_t kErrorConnectionCountLimit = 1238;         // a POST is already in progress
constexpr uint32_t kErrorInternetTimeout = 12002;             // connect or no-progress time-out
constexpr uint32_t kErrorInternetInternalError = 12004;       // anything the transport cannot classify
constexpr uint32_t kErrorInternetInvalidUrl = 12005;          // no host to talk to
constexpr uint32_t kErrorInternetUnrecognizedScheme = 12006;  // not http or https
constexpr uint32_t kErrorInternetNameNotResolved = 12007;
constexpr uint32_t kErrorInternetIncorrectPassword = 12014;
constexpr uint32_t kErrorInternetOperationCancelled = 12017;  // Abort() broke the request off
constexpr uint32_t kErrorInternetCannotConnect = 12029;
constexpr uint32_t kErrorInternetConnectionAborted = 12030;  // the peer went away mid-answer
constexpr uint32_t kErrorInternetConnectionReset = 12031;
constexpr uint32_t kErrorInternetForceRetry = 12032;
constexpr uint32_t kErrorInternetInvalidCa = 12045;             // certificate refused
constexpr uint32_t kErrorHttpInvalidServerResponse = 12152;     // final status other than 200
constexpr uint32_t kErrorHttpRedirectFailed = 12156;            // a redirect that would carry the body elsewhere
constexpr uint32_t kErrorInternetSecurityChannelError = 12157;  // TLS failed for another reason

class CInternetException : public std::exception {
 public:
  explicit CInternetException(uint32_t code) noexcept : m_dwError(code) {}
  const char* what() const noexcept override;

  uint32_t m_dwError;
};
