#pragma once
// The Automation part of the host stand-in lives in windows.h.
#include <windows.h>
