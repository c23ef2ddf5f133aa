// Resource IDs and the file version of tollek.dll (also read by the resource compiler).
#pragma once

#define kStringServiceObject 10
#define kStringCashDrawer 11

#define TOLLEK_VERSION_BINARY 1, 14, 1, 0
#define TOLLEK_VERSION_TEXT "1.14.1.0"
