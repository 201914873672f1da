#include "http/url_site.h"

#include "resources/rcstring.h"

namespace {

// The site base has one "%s" where the page goes. It comes from the build,
// so it is not used as a printf format: only "%s" and "%%" are replaced.
std::string InsertIntoBase(const std::string& base, const std::string& relative) {
  std::string out;
  bool inserted = false;
  for (size_t i = 0; i < base.size(); ++i) {
    if (base[i] == '%' && i + 1 < base.size()) {
      if (base[i + 1] == '%') {
        out.push_back('%');
        ++i;
        continue;
      }
      if (base[i + 1] == 's' && !inserted) {
        out += relative;
        inserted = true;
        ++i;
        continue;
      }
    }
    out.push_back(base[i]);
  }
  return out;
}

}  // namespace

namespace tarvo {

std::string BuildSiteUrl(const std::string& base, const std::string& page, const std::string& query,
                         const std::string& language, const std::string& subLanguage) {
  std::string relative = page + "?";
  if (!query.empty()) relative += query + "&";
  relative += "language=" + language;
  if (!subLanguage.empty() && subLanguage != " ") relative += "&sublanguage=" + subLanguage;
  return InsertIntoBase(base, relative);
}

}  // namespace tarvo

TarvoUrl::TarvoUrl(const std::string& page, const std::string& query)
    : m_fullUrl(tarvo::BuildSiteUrl(RCString(tarvo::res::kWebsiteBase), page, query, RCString(tarvo::res::kLanguage),
                                    RCString(tarvo::res::kSubLanguage))) {}

TarvoUrl::~TarvoUrl() = default;
