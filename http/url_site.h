// Addresses of pages on the product's web site, with the interface language.
#pragma once

#include <string>

class TarvoUrl {
 public:
  // page: a page name with its extension ("default.asp"); query: may be empty
  // ("pagina=faq"). Neither is encoded. Read m_fullUrl and drop the object.
  TarvoUrl(const std::string& page, const std::string& query);
  virtual ~TarvoUrl();

  std::string m_fullUrl;
};

namespace tarvo {

// What TarvoUrl builds, from explicit parts: base (with one "%s"), page,
// query, language and sub-language (empty or a single blank: none).
std::string BuildSiteUrl(const std::string& base, const std::string& page, const std::string& query,
                         const std::string& language, const std::string& subLanguage);

}  // namespace tarvo
