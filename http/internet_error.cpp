#include "http/internet_error.h"

const char* CInternetException::what() const noexcept { return "Internet error"; }
