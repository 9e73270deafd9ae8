// A system module that loads but lacks the service's export: installed as
// "mpr.dll" or as "password.cpl". It records its load and unload like the
// other doubles, so a test can tell "missing export" from "missing file".
#include "double_record.h"

extern "C" int WINAPI UnrelatedExport() { return 0; }
