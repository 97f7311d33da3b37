/* Resource identifiers shared by TellurixAdmin.rc and the C++ code (plain C macros,
   because the resource compiler reads this file too). */
#pragma once
#define IDI_TELLURIX 1
#define IDR_MANIFEST 1
#define IDB_EMBLEM 2
