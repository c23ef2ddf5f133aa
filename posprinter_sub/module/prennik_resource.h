// Resource IDs of prennik.dll (also read by the resource compiler).
#pragma once

#define kStringServiceObject 10
#define kStringPosPrinter 11

#define PRENNIK_VERSION_BINARY 1, 14, 1, 3
#define PRENNIK_VERSION_TEXT "1.14.1.3"
