#include "viewer/CertainlyOverflows.h"

namespace {

const int kMinLineHeight = 8;

} // namespace

bool CertainlyOverflows(const char* text, int width, int height)
{
    if (!text) return false;
    if (width < 1) width = 1;
    if (height < 0) height = 0;
    const long long needed = height / kMinLineHeight + 1;
    long long lines = 0;
    long long run = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text);; ++p) {
        if (*p == '\n' || *p == '\0') {
            // A run that fills the width exactly still fits on one line.
            lines += run > 0 ? (run + width - 1) / width : 1;
            if (lines >= needed) return true;
            if (*p == '\0') return false;
            run = 0;
        } else if (*p >= 0x20) {
            ++run;
        }
    }
}
