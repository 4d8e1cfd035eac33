#include "viewer/TextZoom.h"
#include <richedit.h>

namespace {

// Finer steps near the actual size, where the text is read.
const int kZoomSteps[] = { 50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400 };
const int kStepCount = static_cast<int>(sizeof(kZoomSteps) / sizeof(kZoomSteps[0]));

} // namespace

int NextZoom(int percent, int direction)
{
    if (direction == 0) return kActualSize;
    if (direction > 0) {
        for (int i = 0; i < kStepCount; ++i)
            if (kZoomSteps[i] > percent) return kZoomSteps[i];
    } else {
        for (int i = kStepCount - 1; i >= 0; --i)
            if (kZoomSteps[i] < percent) return kZoomSteps[i];
    }
    return percent;
}

// 0 over 0 turns the control's zoom off, which is the actual size.
bool ApplyZoom(HWND edit, int percent)
{
    const bool actual = percent == kActualSize;
    return SendMessageA(edit, EM_SETZOOM, actual ? 0 : percent, actual ? 0 : kActualSize) != 0;
}
