#include "resources/rcstring.h"

#include "resources/text_codec.h"

RCString::RCString(unsigned id) : m_id(id) {
  if (const char* text = tarvo::StringResourceUtf8(id)) m_text = tarvo::Utf8ToCp1252(text);
}

std::string RCString::utf8() const {
  const char* text = tarvo::StringResourceUtf8(m_id);
  return text ? std::string(text) : std::string();
}
