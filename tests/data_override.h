// A test's own data override folder: the loaders find the files a test writes there first.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "kez_driver-sdl2.h"

class DataOverrideTest : public testing::Test {
 protected:
  // Makes a fresh folder and points the data override at it (making the application record if needed).
  void override_open(const char *tag) {
    if (!app_info) driver_app_create();
    std::string pattern = std::string("/tmp/vantor-") + tag + "-XXXXXX";
    ASSERT_TRUE(mkdtemp(&pattern[0])) << pattern;
    folder = pattern;
    snprintf(app_info->data_override, sizeof app_info->data_override, "%s", folder.c_str());
  }
  // Forgets the override and removes the folder with everything the test wrote.
  void override_close() {
    if (app_info) app_info->data_override[0] = 0;
    if (!folder.empty()) std::filesystem::remove_all(folder);
  }
  // Writes a file of that name into the folder.
  void file(const std::string &name, const std::string &bytes) {
    FILE *f = fopen((folder + "/" + name).c_str(), "wb");
    ASSERT_TRUE(f);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }

  std::string folder;
};
