// The password store under Wine: a blob decrypts back to the password it was made of, for any
// character; a changed blob, a blob of other bytes and text that is not base64 give nothing, so
// the program asks for the password again rather than sending garbage to the broker.

#include "mqtt/password_store.h"

#include <gtest/gtest.h>

#include <string>

namespace qx {
namespace {

TEST(PasswordStoreTest, RoundTripsAnyPasswordAndNeverStoresItInClear) {
  const std::string passwords[] = {
      "secret",
      "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C \xF0\x9F\x94\x91 =;#[]",  // "пароль 🔑 =;#[]" in UTF-8
      std::string("with\0zero", 9),
      std::string(300, 'x'),
  };
  for (const std::string& password : passwords) {
    const std::string blob = ProtectMqttPassword(password);
    ASSERT_FALSE(blob.empty()) << password;
    EXPECT_EQ(blob.find(password), std::string::npos);
    EXPECT_EQ(blob.find_first_of(" \r\n\t"), std::string::npos) << "one word in the file: " << blob;
    EXPECT_EQ(UnprotectMqttPassword(blob), password);
  }
}

TEST(PasswordStoreTest, RefusesWhatIsNoBlobOfOurs) {
  const std::string blob = ProtectMqttPassword("secret");
  ASSERT_GT(blob.size(), 40u);
  // One character changed in the encrypted password, and one in the check at the blob's end.
  const auto tampered = [&](std::size_t from_end) {
    std::string text = blob;
    char& c = text[blob.size() - from_end];
    c = c == 'A' ? 'B' : 'A';
    return text;
  };
  const std::string cases[] = {
      "",
      tampered(40),
      tampered(8),
      blob.substr(0, blob.size() - 4),           // cut short
      "c2VjcmV0",                                // base64 of the clear "secret"
      blob.substr(0, 8) + " " + blob.substr(8),  // not one word
      "!!!!",                                    // not base64
  };
  for (const std::string& text : cases) EXPECT_EQ(UnprotectMqttPassword(text), std::nullopt) << text;
}

}  // namespace
}  // namespace qx
