// The MQTT window's fields as settings: what each field refuses, and what the window leaves alone.
#include <gtest/gtest.h>

#include "mqtt/mqtt_names.h"
#include "mqtt/settings_form.h"

namespace qx {
namespace {

MqttSettings Stored() {
  MqttSettings stored;
  stored.enabled = true;
  stored.server = "old.lan";
  stored.user = "ha";
  stored.password = "QkxPQg==";
  stored.node = "pc-1";
  return stored;
}

MqttFormFields Fields() {
  return {true, "broker.lan", "1884", "user", "home/ha", "Kitchen-PC"};
}

TEST(SettingsForm, EveryBadFieldIsNamed) {
  const struct {
    void (*change)(MqttFormFields&);
    MqttFormField bad;
  } cases[] = {
      {[](MqttFormFields& f) { f.server.clear(); }, MqttFormField::kServer},
      {[](MqttFormFields& f) { f.server = "bro ker"; }, MqttFormField::kServer},
      {[](MqttFormFields& f) { f.server = "broker/x"; }, MqttFormField::kServer},
      {[](MqttFormFields& f) { f.server = "\xE4\xB8\xAD.lan"; }, MqttFormField::kServer},  // outside the code page
      {[](MqttFormFields& f) { f.port.clear(); }, MqttFormField::kPort},
      {[](MqttFormFields& f) { f.port = "0"; }, MqttFormField::kPort},
      {[](MqttFormFields& f) { f.port = "65536"; }, MqttFormField::kPort},
      {[](MqttFormFields& f) { f.port = "01883"; }, MqttFormField::kPort},
      {[](MqttFormFields& f) { f.port = "+1883"; }, MqttFormField::kPort},
      {[](MqttFormFields& f) { f.port = "1 883"; }, MqttFormField::kPort},
      {[](MqttFormFields& f) { f.user = "\xE4\xB8\xAD"; }, MqttFormField::kUser},
      {[](MqttFormFields& f) { f.prefix.clear(); }, MqttFormField::kPrefix},
      {[](MqttFormFields& f) { f.prefix = "home/+"; }, MqttFormField::kPrefix},
      {[](MqttFormFields& f) { f.prefix = "home/"; }, MqttFormField::kPrefix},
      {[](MqttFormFields& f) { f.prefix = "#"; }, MqttFormField::kPrefix},
      {[](MqttFormFields& f) { f.node = "pc.1"; }, MqttFormField::kNode},
      {[](MqttFormFields& f) { f.node = "\xD0\xBF\xD0\xBA"; }, MqttFormField::kNode},
      // The first bad field is the one named.
      {[](MqttFormFields& f) { f.port = "0", f.node = "pc.1"; }, MqttFormField::kPort},
  };
  for (const auto& c : cases) {
    MqttFormFields fields = Fields();
    c.change(fields);
    const MqttFormResult result = SettingsFromForm(Stored(), fields, "host");
    EXPECT_FALSE(result.settings) << fields.server << " " << fields.port << " " << fields.prefix << " " << fields.node;
    EXPECT_EQ(result.bad, c.bad) << fields.server << " " << fields.port << " " << fields.prefix << " " << fields.node;
  }
}

TEST(SettingsForm, TheStoredPasswordStaysOnlyWithItsServerAndUser) {
  const struct {
    void (*change)(MqttFormFields&);
    bool kept;
  } cases[] = {
      {[](MqttFormFields&) {}, true},
      {[](MqttFormFields& f) { f.prefix = "other"; }, true},
      {[](MqttFormFields& f) { f.node = "pc-2"; }, true},
      {[](MqttFormFields& f) { f.server = "new.lan"; }, false},
      {[](MqttFormFields& f) { f.port = "1884"; }, false},
      {[](MqttFormFields& f) { f.user = "other"; }, false},
  };
  for (const auto& c : cases) {
    MqttFormFields fields{true, "old.lan", "1883", "ha", "homeassistant", "pc-1"};
    c.change(fields);
    const MqttFormResult result = SettingsFromForm(Stored(), fields, "host");
    ASSERT_TRUE(result.settings);
    EXPECT_EQ(result.settings->password, c.kept ? Stored().password : "")
        << fields.server << " " << fields.port << " " << fields.user << " " << fields.prefix << " " << fields.node;
  }
}

TEST(SettingsForm, GoodFieldsBecomeTheSettings) {
  MqttFormFields fields = Fields();
  fields.user = "\xD0\xBF";  // Cyrillic "п": Windows-1251 0xEF in the file
  const MqttFormResult result = SettingsFromForm(Stored(), fields, "host");
  ASSERT_TRUE(result.settings);
  MqttSettings expected = Stored();
  expected.server = "broker.lan";
  expected.port = 1884;
  expected.user = "\xEF";
  expected.prefix = "home/ha";
  expected.node = "kitchen-pc";
  expected.password.clear();  // another server and user
  EXPECT_EQ(*result.settings, expected);

  // An IPv6 address typed in brackets is kept without them, as the command line keeps it.
  fields.server = "[fe80::1]";
  ASSERT_TRUE(SettingsFromForm(Stored(), fields, "host").settings);
  EXPECT_EQ(SettingsFromForm(Stored(), fields, "host").settings->server, "fe80::1");
}

TEST(SettingsForm, SwitchedOffTheServerMayBeEmptyAndTheNodeWaits) {
  MqttFormFields fields{false, "", "1883", "", "homeassistant", ""};
  const MqttFormResult off = SettingsFromForm(MqttSettings{}, fields, "Kitchen.PC");
  ASSERT_TRUE(off.settings);
  EXPECT_EQ(*off.settings, MqttSettings{}) << "nothing differs from the defaults: the file stays as it was";

  // Switched on with no node typed: it is fixed from the host name, as `mqtt connect` fixes it.
  fields.enabled = true;
  fields.server = "broker";
  const MqttFormResult on = SettingsFromForm(MqttSettings{}, fields, "Kitchen.PC");
  ASSERT_TRUE(on.settings);
  EXPECT_EQ(on.settings->node, NodeIdForHostName("Kitchen.PC"));
}

}  // namespace
}  // namespace qx
