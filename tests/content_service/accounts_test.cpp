// Accounts: hashed passwords, the scrambled forms they arrive in, the
// limits on wrong passwords and on handhelds per login.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "catalogue_answerer.h"
#include "catalogue_checks.h"
#include "catalogue_credentials.h"
#include "catalogue_state.h"
#include "password_hash.h"

namespace tarvo::server {
namespace {

namespace fs = std::filesystem;

TEST(PasswordHash, ChecksTheScryptTestVectorAndItsOwnHashes) {
  // scrypt("password", "NaCl", N=1024, r=8, p=16), 64 bytes (RFC 7914).
  const std::string vector =
      "$scrypt$ln=10,r=8,p=16$TmFDbA$/bq+HJ00cgB4VucZDQHp/nxq18vII3gw53N2Y0s3MWIurzDZLiKjiG/"
      "xCSedmDDaxyevuUqD7m2DYMvfoswGQA";
  EXPECT_TRUE(valid_password_hash(vector));
  EXPECT_TRUE(password_matches(vector, "password"));
  EXPECT_FALSE(password_matches(vector, "Password"));
  std::string passlib = vector;  // the same in passlib's alphabet
  std::replace(passlib.begin(), passlib.end(), '+', '.');
  EXPECT_TRUE(password_matches(passlib, "password"));

  const std::string made = hash_password("s\xE9nha");
  EXPECT_TRUE(password_matches(made, "s\xE9nha"));
  EXPECT_NE(made, hash_password("s\xE9nha"));  // salted
  for (const char* bad :
       {"", "password", "$scrypt$ln=10,r=8,p=16$TmFDbA", "$scrypt$ln=40,r=8,p=1$TmFDbA$AAAAAAAAAAAAAAAAAAAAAA",
        "$scrypt$ln=10,r=8$TmFDbA$AAAAAAAAAAAAAAAAAAAAAA", "$scrypt$ln=10,r=8,p=1$Tm!DbA$AAAAAAAAAAAAAAAAAAAAAA"})
    EXPECT_FALSE(valid_password_hash(bad)) << bad;
}

TEST(PasswordHash, ScrambledTextsReadBackInBothForms) {
  EXPECT_EQ(unscramble("097098099"), std::vector<std::string>{"abc"});
  EXPECT_EQ(unscramble("097-23"), std::vector<std::string>{"a\xE9"});
  EXPECT_EQ(unscramble("0-5"), std::vector<std::string>{"\xFB"});  // %3d of -5, blanks as zeros
  EXPECT_EQ(unscramble("-128"), std::vector<std::string>{"\x80"});
  for (const char* bad : {"", "09", "256", "abc", "-0a"}) EXPECT_TRUE(unscramble(bad).empty()) << bad;
}

class Accounts : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarvo-accounts-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "files");
    std::ofstream(dir_ / "files" / "News.pdb") << "edition";
  }
  void TearDown() override { fs::remove_all(dir_); }

  void start(const std::string& users, ServiceSettings settings = {}) {
    std::ofstream(dir_ / "catalogue.json")
        << R"({"users": )" << users << R"(, "modules": [{"name": "News", "edition": "1", "file": "News.pdb"}]})";
    service_ = std::make_unique<CatalogueAnswerer>(load_catalogue(dir_),
                                                   std::make_unique<CatalogueState>(dir_ / "state"), nullptr, settings);
  }
  std::string login(const std::string& who, const std::string& scrambled_password, const std::string& userid = "1",
                    const std::string& client = "192.0.2.1") {
    Request r;
    r.path = "/sync";
    r.form = parse_form("cmd=login&login=" + scramble(who) + "&senha=" + scrambled_password + "&userid=" + userid);
    r.client = client;
    return service_->answer(r).body;
  }
  static bool accepted(const std::string& answer) { return answer.find("<device id=") != std::string::npos; }

  fs::path dir_;
  std::unique_ptr<CatalogueAnswerer> service_;
};

TEST_F(Accounts, HashedAndClearPasswordsBothWork) {
  start(R"([{"login": "ana", "password_hash": ")" + hash_password("s\xC3\xA9nha") + R"("},
            {"login": "bia", "password": "clear"}])");
  EXPECT_TRUE(accepted(login("ana", scramble("s\xC3\xA9nha"))));
  EXPECT_TRUE(accepted(login("ana", scramble_signed("s\xC3\xA9nha"))));
  EXPECT_FALSE(accepted(login("ana", scramble("senha"))));
  EXPECT_TRUE(accepted(login("bia", scramble("clear"))));
}

TEST_F(Accounts, WrongPasswordsLockTheLoginAndTheAddressForAWhile) {
  ServiceSettings settings;
  settings.failures_per_login = 3;
  settings.failures_per_address = 5;
  start(
      R"([{"login": "ana", "password": "pw"}, {"login": "bia", "password": "pw"}, {"login": "eva", "password": "pw"}])",
      settings);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(accepted(login("ana", scramble("guess"), "1", "192.0.2.1")));
  // The right password no longer helps, from any address...
  const std::string refused = login("ana", scramble("pw"), "1", "192.0.2.9");
  EXPECT_FALSE(accepted(refused));
  EXPECT_NE(refused.find("Muitas senhas erradas"), std::string::npos) << refused;
  // ...while another login still works, until its address has guessed too often.
  EXPECT_TRUE(accepted(login("bia", scramble("pw"), "1", "192.0.2.1")));
  for (int i = 0; i < 2; ++i) EXPECT_FALSE(accepted(login("bia", scramble("guess"), "1", "192.0.2.1")));
  EXPECT_FALSE(accepted(login("eva", scramble("pw"), "1", "192.0.2.1")));
  EXPECT_TRUE(accepted(login("eva", scramble("pw"), "1", "192.0.2.2")));
}

TEST_F(Accounts, HandheldsPerLoginHaveACeiling) {
  ServiceSettings settings;
  settings.max_devices = 2;
  start(R"([{"login": "ana", "password": "pw"}])", settings);
  EXPECT_TRUE(accepted(login("ana", scramble("pw"), "1")));
  EXPECT_TRUE(accepted(login("ana", scramble("pw"), "2")));
  const std::string third = login("ana", scramble("pw"), "3");
  EXPECT_FALSE(accepted(third));
  EXPECT_NE(third.find("2 aparelhos"), std::string::npos) << third;
  EXPECT_TRUE(accepted(login("ana", scramble("pw"), "1")));  // the known ones go on
}

TEST_F(Accounts, CataloguesWithoutUsersOrWithBadHashesAreRefusedAndOpenOnesWarned) {
  auto refusal = [&](const std::string& text) {
    std::ofstream(dir_ / "catalogue.json") << text;
    try {
      load_catalogue(dir_);
    } catch (const CatalogueError& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  EXPECT_NE(refusal("{}").find("no users"), std::string::npos);
  EXPECT_NE(refusal(R"({"users": [{"login": "a", "password_hash": "x"}]})").find("users[0].password_hash"),
            std::string::npos);
  EXPECT_NE(refusal(R"({"users": [{"login": "a", "password": "p", "password_hash": "x"}]})").find("both"),
            std::string::npos);

  std::ofstream(dir_ / "catalogue.json") << R"({"users": [{"login": "a", "password": "p"}]})";
  fs::permissions(dir_ / "catalogue.json", fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
  const auto warnings = catalogue_warnings(load_catalogue(dir_));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("readable by every user"), std::string::npos);
  fs::permissions(dir_ / "catalogue.json", fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(catalogue_warnings(load_catalogue(dir_)).empty());
}

}  // namespace
}  // namespace tarvo::server
