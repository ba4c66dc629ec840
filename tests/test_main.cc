// Test entry: every test process gets its own empty APPDATA, so no test sees another's log or settings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

int main(int argc, char **argv) {
  char dir[] = "/tmp/vantor-test-XXXXXX";
  if (mkdtemp(dir)) setenv("APPDATA", dir, 1);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
