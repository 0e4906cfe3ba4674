// product_state.cpp: tells the end-to-end tests what the installer knows of
// a product: the exit code is 100 plus MsiQueryProductStateW of the product
// code given (99 unknown, 105 installed).
#include <windows.h>
#include <msi.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  return 100 + static_cast<int>(MsiQueryProductStateW(argv[1]));
}
