// Translation of libcurl results into the client's error codes.
#pragma once

#include <cstdint>

#include <curl/curl.h>

uint32_t InternetErrorFromCurl(CURLcode code);
