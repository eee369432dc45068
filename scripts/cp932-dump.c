/* Prints what MultiByteToWideChar(932, 0, ...) gives for every single byte
 * and every pair of bytes, for make-cp932-table.py. Built with MinGW-w64 and
 * run under Wine (or on Windows).
 *
 * Output: one line "S" with 256 results for the single bytes 00..FF, then
 * one line "L xx" per byte xx with 256 results for the pairs xx 00..xx FF.
 * A result is the UTF-16 units in hex joined by '+' ("30FB+0000" for two). */
#include <windows.h>
#include <stdio.h>

static void put(const unsigned char* bytes, int n) {
  WCHAR w[8];
  const int got = MultiByteToWideChar(932, 0, (const char*)bytes, n, w, 8);
  putchar(' ');
  if (got <= 0) {
    putchar('-');
    return;
  }
  for (int i = 0; i < got; ++i) printf(i ? "+%04X" : "%04X", w[i]);
}

int main(void) {
  unsigned char b[2];
  printf("S");
  for (int i = 0; i < 256; ++i) {
    b[0] = (unsigned char)i;
    put(b, 1);
  }
  putchar('\n');
  for (int lead = 0; lead < 256; ++lead) {
    printf("L %02X", lead);
    for (int trail = 0; trail < 256; ++trail) {
      b[0] = (unsigned char)lead;
      b[1] = (unsigned char)trail;
      put(b, 2);
    }
    putchar('\n');
  }
  return 0;
}
