// The module's version, shared by its version resource and its log lines.
#pragma once
#define VASSELIN_VERSION_BINARY 1, 14, 1, 2
#define VASSELIN_VERSION_TEXT "1.14.1.2"
// String resource read when the version resource can't be: the version as a number.
#define IDS_SERVICE_OBJECT_VERSION 14
