// The program's version, shared by the version resource and the code.
#pragma once
#define TONBAR_VERSION_BINARY 4,0,0,1
#define TONBAR_VERSION_TEXT "4.0.0.1"
