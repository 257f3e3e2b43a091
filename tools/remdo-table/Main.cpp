// remdo-table: inspects Paradox table families for people and scripts.
#include <cstdio>

int main(int argc, char** argv) {
  std::fputs("usage: remdo-table info|dump FILE\n", stderr);
  return 2;
}
