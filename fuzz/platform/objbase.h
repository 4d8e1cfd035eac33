#pragma once
// Task memory of the host stand-in lives in windows.h.
#include <windows.h>
