#pragma once
// The program's version, shown in the about box from the version resource.
#define VANTOREL_VERSION_MAJOR 1
#define VANTOREL_VERSION_MINOR 4
#define VANTOREL_VERSION_REVISION 0
#define VANTOREL_VERSION_TEXT "1.4.0"
