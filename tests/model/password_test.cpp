// The password lock's checks and its keychain seam, without dialogs.
#include "marktally/model/password.h"

#include <map>
#include <string>
#include <utility>

#include "marktally/model/document.h"
#include "marktally/model/fileutil.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "model_fixture.h"

namespace {

class PasswordTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    gFileSpec.path = "/home/teacher/Period 1.mtb";
    gPreviousPassword.clear();
    KeychainAccess k;
    k.find = [this](const std::string& s, const std::string& a, std::string& p) {
      auto it = items.find({s, a});
      if (it == items.end()) return false;
      p = it->second;
      return true;
    };
    k.add = [this](const std::string& s, const std::string& a, const std::string& p) {
      return items.emplace(std::make_pair(s, a), p).second;
    };
    k.replace = [this](const std::string& s, const std::string& a, const std::string& p) {
      items[{s, a}] = p;
      return true;
    };
    SetKeychain(k);
  }
  void TearDown() override {
    SetKeychain(KeychainAccess{});
    gFileSpec.path.clear();
    ModelTest::TearDown();
  }
  void Lock(const char* password) {
    Str255 digest;
    EncodePassword(PStr(password), digest);
    gClass.passwordDigest.set(digest);
  }
  std::map<std::pair<std::string, std::string>, std::string> items;
};

TEST_F(PasswordTest, OnlyTheFirst15CharactersCountAndCaseDoes) {
  Lock("Secret-Password");
  EXPECT_TRUE(PasswordMatches(PStr("Secret-Password")));
  EXPECT_TRUE(PasswordMatches(PStr("Secret-Password-and-more")));
  EXPECT_FALSE(PasswordMatches(PStr("secret-password")));
  EXPECT_FALSE(PasswordMatches(PStr("Secret-Passwor")));
  EXPECT_FALSE(PasswordMatches(PStr("")));
  gClass.passwordDigest.clear();
  EXPECT_TRUE(PasswordMatches(PStr("")));  // no lock: the empty password
}

TEST_F(PasswordTest, TheKeychainIsAskedByServiceAndFileName) {
  Lock("Owl");
  Str255 password;
  EXPECT_FALSE(GetKeychainPassword(password));
  items[{"Marktally", "Period 1.mtb"}] = "Hawk";  // an item that no longer opens it
  EXPECT_FALSE(GetKeychainPassword(password));
  items[{"Marktally", "Period 1.mtb"}] = "Owl";
  ASSERT_TRUE(GetKeychainPassword(password));
  EXPECT_EQ(password.str(), "Owl");
  SetKeychain(KeychainAccess{});  // no keychain: nothing is found
  EXPECT_FALSE(GetKeychainPassword(password));
}

TEST_F(PasswordTest, RememberingAddsOrReplacesTheCutPassword) {
  AddKeychainPassword(PStr("A-very-long-password"));
  EXPECT_EQ((items[{"Marktally", "Period 1.mtb"}]), "A-very-long-pas");
  AddKeychainPassword(PStr("Owl"));
  EXPECT_EQ(items.size(), 1u);
  EXPECT_EQ((items[{"Marktally", "Period 1.mtb"}]), "Owl");
}

TEST_F(PasswordTest, NamesMacRomanCannotHoldHaveAnItemEach) {
  gFileSpec.path = "/home/teacher/\xD0\x9A\xD0\xBB\xD0\xB0\xD1\x81.mtb";
  AddKeychainPassword(PStr("Owl"));
  gFileSpec.path = "/home/teacher/\xD0\xA3\xD1\x80\xD0\xBE\xD0\xBA.mtb";
  AddKeychainPassword(PStr("Hawk"));
  EXPECT_EQ(items.size(), 2u);
  Lock("Owl");
  Str255 password;
  EXPECT_FALSE(GetKeychainPassword(password));  // the other class's password
  // A name Mac Roman holds keeps the key it always had.
  gFileSpec.path = "/home/teacher/Caf\xC3\xA9.mtb";
  AddKeychainPassword(PStr("Owl"));
  EXPECT_EQ((items[{"Marktally", "Caf\x8E.mtb"}]), "Owl");
  ASSERT_TRUE(GetKeychainPassword(password));
}

TEST_F(PasswordTest, ThePasswordTypedLastOpensOtherClasses) {
  Lock("Owl");
  EXPECT_FALSE(MultiplePassword());
  gPreviousPassword = PStr("Owl and more than fifteen");
  EXPECT_FALSE(MultiplePassword());
  gPreviousPassword = PStr("Owl");
  EXPECT_TRUE(MultiplePassword());
}

TEST_F(PasswordTest, ANewPasswordIsStoredWithAnUndoSnapshotAndNoKeychain) {
  EXPECT_TRUE(NewPasswordsAgree(PStr("Cr\x8Eme"), PStr("CREME")));  // case and accents aside
  EXPECT_FALSE(NewPasswordsAgree(PStr("Owl"), PStr("Owls")));
  StoreNewPassword(PStr("Secret-Password-123"));
  EXPECT_TRUE(PasswordMatches(PStr("Secret-Password")));
  EXPECT_EQ(gChanged, 1);
  EXPECT_EQ(gUndoAction, kUndoOptions);
  EXPECT_TRUE(items.empty());
  StoreNewPassword(PStr(""));
  EXPECT_TRUE(gClass.passwordDigest.empty());
}

}  // namespace
