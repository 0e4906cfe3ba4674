// test_main.cpp: runs the GoogleTest cases, or one child routine when started
// as `--child NAME`.
#include <windows.h>

#include "gtest/gtest.h"
#include "tests/support/test_support.h"

int wmain(int argc, wchar_t** argv) {
  bool handled = false;
  int code = RunChildDispatch(argc, argv, &handled);
  if (handled) return code;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
