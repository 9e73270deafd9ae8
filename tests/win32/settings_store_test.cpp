// The settings store against the real registry of the test prefix. Each
// test works on its own key, created and removed around it, so the product's
// own key is never touched.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include <windows.h>

#include "host/saver_app.h"
#include "settings/setting_names.h"
#include "settings/settings_dialog_win32.h"
#include "settings/settings_store_win32.h"
#include "tests/param_name.h"
#include "tests/test_helpers_win32.h"

namespace {

const char kTestKey[] = "Software\\Tessaly\\GlimmerwatchStoreTest";

class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key_, nullptr));
  }
  void TearDown() override {
    RegCloseKey(key_);
    RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
  }
  void store(const char* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key_, name, 0, type, static_cast<const BYTE*>(data), size));
  }
  HKEY key_ = nullptr;
};

TEST_F(SettingsStore, MissingKeyIsUnreadableAndNeverCreated) {
  const char missing[] = "Software\\Tessaly\\GlimmerwatchNoSuchKey";
  RegDeleteKeyA(HKEY_CURRENT_USER, missing);
  EXPECT_FALSE(readSetting(missing, "Resolution").ok);
  EXPECT_FALSE(writeSetting(missing, "Resolution", "Current resolution"));
  EXPECT_FALSE(testkit::keyExists(missing));
}

TEST_F(SettingsStore, MissingValueIsUnreadable) {
  EXPECT_FALSE(readSetting(kTestKey, "Show FPS").ok);
}

TEST_F(SettingsStore, WrittenTextReadsBackExactly) {
  ASSERT_TRUE(writeSetting(kTestKey, "Resolution", "Current resolution"));
  SettingValue value = readSetting(kTestKey, "Resolution");
  ASSERT_TRUE(value.ok);
  EXPECT_STREQ("Current resolution", value.text);
}

TEST_F(SettingsStore, WritingAFlagStoresTheCharacterAndItsNul) {
  ASSERT_TRUE(writeSetting(kTestKey, "Show Time", "1"));
  BYTE data[8];
  memset(data, 0xAA, sizeof(data));  // sentinel: what the call did not write
  DWORD size = sizeof(data);
  DWORD type = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key_, "Show Time", nullptr, &type, data, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(2u, size);
  EXPECT_EQ('1', data[0]);
  EXPECT_EQ(0, data[1]);
  EXPECT_EQ(0xAA, data[2]);
}

TEST_F(SettingsStore, NumberTypedFlagReadsAsTextThatIsNotOne) {
  DWORD one = 1;
  store("Show FPS", REG_DWORD, &one, sizeof(one));
  SettingValue value = readSetting(kTestKey, "Show FPS");
  ASSERT_TRUE(value.ok);
  EXPECT_STRNE("1", value.text);
}

TEST_F(SettingsStore, ValueOf259CharactersIsReadWhole) {
  std::string text(259, 'x');
  store("Resolution", REG_SZ, text.c_str(), 260);
  SettingValue value = readSetting(kTestKey, "Resolution");
  ASSERT_TRUE(value.ok);
  EXPECT_EQ(text, value.text);
}

TEST_F(SettingsStore, ValueLargerThanTheBufferIsUnreadable) {
  std::string text(260, 'y');
  store("Resolution", REG_SZ, text.c_str(), 261);
  EXPECT_FALSE(readSetting(kTestKey, "Resolution").ok);
}

TEST_F(SettingsStore, DataFillingTheBufferWithoutNulIsUnreadable) {
  // 260 bytes and no terminator: taking it would either overrun the buffer
  // or silently cut the last character.
  std::string text(260, 'z');
  store("Resolution", REG_BINARY, text.data(), 260);
  EXPECT_FALSE(readSetting(kTestKey, "Resolution").ok);
}

TEST_F(SettingsStore, ShortDataWithoutNulIsTerminated) {
  store("Resolution", REG_BINARY, "800x600x16", 10);
  SettingValue value = readSetting(kTestKey, "Resolution");
  ASSERT_TRUE(value.ok);
  EXPECT_STREQ("800x600x16", value.text);
}

TEST_F(SettingsStore, EachReadSeesTheLatestValue) {
  ASSERT_TRUE(writeSetting(kTestKey, "Show Time", "1"));
  EXPECT_STREQ("1", readSetting(kTestKey, "Show Time").text);
  store("Show Time", REG_SZ, "0", 2);  // changed behind the store's back
  EXPECT_STREQ("0", readSetting(kTestKey, "Show Time").text);
}

// The saver's start reads all three settings of its own key: any one
// missing stops it, and the read writes nothing back. The key's values are
// put back afterwards.
struct SaverRead {
  const char* name;
  const char* missing;  // null: none
};

class SaverSettingsRead : public ::testing::TestWithParam<SaverRead> {
 protected:
  void SetUp() override {
    for (int i = 0; i < 3; ++i) kept_[i] = readSetting(kSettingsKeyPath, kNames[i]);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key_, nullptr));
  }
  void TearDown() override {
    for (int i = 0; i < 3; ++i) {
      if (kept_[i].ok) writeSetting(kSettingsKeyPath, kNames[i], kept_[i].text);
      if (!kept_[i].ok) RegDeleteValueA(key_, kNames[i]);
    }
    RegCloseKey(key_);
  }
  const char* const kNames[3] = {kResolutionValue, kShowTimeValue, kShowFpsValue};
  SettingValue kept_[3] = {};
  HKEY key_ = nullptr;
};

TEST_P(SaverSettingsRead, NeedsAllThreeValues) {
  const char* missing = GetParam().missing;
  for (const char* name : kNames) {
    RegDeleteValueA(key_, name);
    if (missing == nullptr || strcmp(name, missing) != 0) writeSetting(kSettingsKeyPath, name, "0");
  }
  SaverApp app;
  const char* failure = app.runStartUpStage(kStageSettings, GetModuleHandleA(nullptr));
  EXPECT_STREQ(missing == nullptr ? nullptr : kNotInstalledMessage, failure);
  EXPECT_FALSE(missing != nullptr && readSetting(kSettingsKeyPath, missing).ok) << "written back";
}

INSTANTIATE_TEST_SUITE_P(Settings, SaverSettingsRead,
                         ::testing::Values(SaverRead{"AllThere", nullptr},
                                           SaverRead{"NoResolution", kResolutionValue},
                                           SaverRead{"NoShowTime", kShowTimeValue},
                                           SaverRead{"NoShowFps", kShowFpsValue}),
                         ParamName());

}  // namespace
