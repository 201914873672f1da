#include "http/url_site.h"

#include <gtest/gtest.h>

#include "resources/rcstring.h"

namespace {

const std::string kBase = "http://www.example.test/%s";

TEST(TarvoUrl, FourFormsOfQueryAndSubLanguage) {
  using tarvo::BuildSiteUrl;
  EXPECT_EQ(BuildSiteUrl(kBase, "minha_senha.asp", "", "PT", " "),
            "http://www.example.test/minha_senha.asp?language=PT");
  EXPECT_EQ(BuildSiteUrl(kBase, "tar_interna.asp", "pagina=faq", "PT", " "),
            "http://www.example.test/tar_interna.asp?pagina=faq&language=PT");
  EXPECT_EQ(BuildSiteUrl(kBase, "minha_senha.asp", "", "PT", "BR"),
            "http://www.example.test/minha_senha.asp?language=PT&sublanguage=BR");
  EXPECT_EQ(BuildSiteUrl(kBase, "tar_interna.asp", "pagina=termos", "PT", "BR"),
            "http://www.example.test/tar_interna.asp?pagina=termos&language=PT&sublanguage=BR");
  EXPECT_EQ(BuildSiteUrl(kBase, "default.asp", "", "", ""), "http://www.example.test/default.asp?language=");
}

TEST(TarvoUrl, BaseIsNotUsedAsPrintfFormat) {
  // Only the first %s takes the page; other directives stay as text.
  EXPECT_EQ(tarvo::BuildSiteUrl("http://h/%d/%%/%s/%s", "p.asp", "", "PT", ""), "http://h/%d/%/p.asp?language=PT/%s");
}

TEST(TarvoUrl, UsesTheBuildsSiteBaseAndShippedLanguage) {
  std::string base = RCString(tarvo::res::kWebsiteBase);
  ASSERT_NE(base.find("%s"), std::string::npos);
  std::string expected = base.substr(0, base.find("%s")) + "passo_a_passo.asp?language=PT";
  EXPECT_EQ(TarvoUrl("passo_a_passo.asp", "").m_fullUrl, expected);
}

}  // namespace
