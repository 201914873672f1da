// The certificate policy of HTTPS requests: a certificate whose name does not
// match the host, or whose dates do not cover today, is accepted; any other
// verification failure (unknown issuer, bad signature, wrong purpose...)
// refuses the connection. Host-name checking itself is turned off on the
// transfer (CURLOPT_SSL_VERIFYHOST 0); this hook handles the dates.
#pragma once

#include <curl/curl.h>

// CURLOPT_SSL_CTX_FUNCTION callback: installs the verify callback on the
// OpenSSL context of the connection.
CURLcode InstallCertificatePolicy(CURL* easy, void* sslContext, void* unused);

// The decision itself, for one verification step.
bool AcceptCertificateError(int verifyError);
