#include "http/curl_errors.h"

#include "http/internet_error.h"

uint32_t InternetErrorFromCurl(CURLcode code) {
  switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
      return kErrorInternetUnrecognizedScheme;
    case CURLE_URL_MALFORMAT:
      return kErrorInternetInvalidUrl;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
      return kErrorInternetNameNotResolved;
    case CURLE_COULDNT_CONNECT:
      return kErrorInternetCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return kErrorInternetTimeout;
    case CURLE_ABORTED_BY_CALLBACK:
      return kErrorInternetOperationCancelled;
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
      return kErrorInternetConnectionAborted;
    case CURLE_SEND_ERROR:
      return kErrorInternetConnectionReset;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
      return kErrorInternetInvalidCa;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
      return kErrorInternetSecurityChannelError;
    case CURLE_TOO_MANY_REDIRECTS:
      return kErrorHttpInvalidServerResponse;
    default:
      return kErrorInternetInternalError;
  }
}
