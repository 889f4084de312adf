/* A client built outside the project against the installed library. */
#include <brimtally.h>
#include <stdio.h>
#include <string.h>

int main(void) {
  ModuleRecord record = btInitDLL(NULL);
  if (strcmp(record.DllVersion, BT_DLL_VERSION) != 0 || record.ReplyTimeout != 30) return 1;
  if (btSeedDLL(&record) != BT_OK || record.Debounce != 37) return 2;
  if (btPortOpen(3, 9600) != BT_BAD_PORT) return 3;
  if (btPortClose() != -6) return 4;
  puts("client ok");
  return 0;
}
