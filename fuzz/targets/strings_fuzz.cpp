// CString against a plain std::string model: every operation on a handful of
// strings that share blocks freely must leave each string holding exactly
// its model's bytes, NUL-terminated, within its capacity, with every block's
// count equal to the number of strings that point at it.
#include "text/CString.h"
#include <fuzzer/FuzzedDataProvider.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

const int kSlots = 4;

void Fail(const char* what, int slot)
{
    fprintf(stderr, "strings_fuzz: %s (string %d)\n", what, slot);
    abort();
}

void Check(bool condition, const char* what, int slot = -1)
{
    if (!condition) Fail(what, slot);
}

// A match may begin only where a character begins, counting from start.
int ModelFind(const std::string& text, const std::string& needle, int start)
{
    int length = static_cast<int>(text.size());
    if (start > length) return -1;
    if (start < 0) start = 0;
    if (needle.empty()) return start;
    for (int pos = start; pos + static_cast<int>(needle.size()) <= length;) {
        if (text.compare(pos, needle.size(), needle) == 0) return pos;
        bool lead = IsDBCSLeadByte(static_cast<BYTE>(text[pos]));
        pos += (lead && pos + 1 < length) ? 2 : 1;
    }
    return -1;
}

std::string ModelSlice(const std::string& text, int first, int count)
{
    int length = static_cast<int>(text.size());
    if (first < 0) first = 0;
    if (count < 0) count = 0;
    if (first > length) return std::string();
    if (count > length - first) count = length - first;
    return text.substr(first, count);
}

void CheckAll(CString (&strings)[kSlots], const std::string (&models)[kSlots])
{
    for (int i = 0; i < kSlots; ++i) {
        const CString& s = strings[i];
        const std::string& m = models[i];
        Check(s.GetLength() == static_cast<int>(m.size()), "length differs from the model", i);
        Check(memcmp(s.c_str(), m.data(), m.size()) == 0, "text differs from the model", i);
        Check(s.c_str()[s.GetLength()] == '\0', "text is not NUL-terminated", i);
        Check(s.GetLength() <= s.GetAllocLength(), "length exceeds capacity", i);
        if (s.IsSharedEmpty()) {
            Check(s.RefCount() < 0 && s.GetAllocLength() == 0, "shared empty block was changed", i);
            continue;
        }
        Check(s.GetAllocLength() > 0, "an owned block has no capacity", i);
        int sharers = 0;
        for (int j = 0; j < kSlots; ++j) sharers += strings[j].SharesBlockWith(s);
        Check(s.RefCount() == sharers, "count differs from the strings sharing the block", i);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    CString strings[kSlots];
    std::string models[kSlots];

    for (int steps = 0; steps < 64 && in.remaining_bytes() > 0; ++steps) {
        int a = in.ConsumeIntegralInRange(0, kSlots - 1);
        int b = in.ConsumeIntegralInRange(0, kSlots - 1);
        switch (in.ConsumeIntegralInRange(0, 12)) {
        case 0: {
            std::string text = in.ConsumeRandomLengthString(600);
            Check(strings[a].AssignText(text.data(), static_cast<int>(text.size())), "AssignText failed", a);
            models[a] = text;
            break;
        }
        case 1: {
            std::string text = in.ConsumeRandomLengthString(600);
            Check(strings[a].Append(text.data(), static_cast<int>(text.size())), "Append failed", a);
            models[a] += text;
            break;
        }
        case 2:
            // Doubling by self-appends would soon outgrow the fuzzer's memory.
            if (models[a].size() + models[b].size() > 20000) break;
            // b may be a itself, or share a's block.
            Check(strings[a].Append(strings[b]), "Append of a string failed", a);
            models[a] += std::string(models[b]);
            break;
        case 3:
            strings[a] = strings[b];
            models[a] = models[b];
            if (!strings[b].IsSharedEmpty() && strings[b].RefCount() > 0)
                Check(strings[a].SharesBlockWith(strings[b]), "assignment copied instead of sharing", a);
            break;
        case 4: {
            CString copy(strings[b]);
            strings[a] = CString();
            strings[a] = copy;
            models[a] = models[b];
            break;
        }
        case 5: {
            int first = in.ConsumeIntegralInRange(-4, 700);
            int count = in.ConsumeIntegralInRange(-4, 700);
            strings[a] = strings[b].Slice(first, count);
            models[a] = ModelSlice(models[b], first, count);
            break;
        }
        case 6: {
            int count = in.ConsumeIntegralInRange(-4, 700);
            strings[a] = strings[b].Prefix(count);
            models[a] = ModelSlice(models[b], 0, count);
            break;
        }
        case 7: {
            std::string needle = in.ConsumeRandomLengthString(8);
            needle = needle.c_str();
            int start = in.ConsumeIntegralInRange(-2, 700);
            int found = strings[a].Find(needle.c_str(), start);
            Check(found == ModelFind(models[a], needle, start), "Find differs from the model", a);
            break;
        }
        case 8: {
            // Write through the buffer, as the highlighter does, and release
            // with an explicit length or up to the NUL the writer put down.
            int oldLength = static_cast<int>(models[a].size());
            int room = in.ConsumeIntegralInRange(0, 900);
            std::string bytes = in.ConsumeRandomLengthString(room);
            bool measure = in.ConsumeBool();
            char* buffer = strings[a].GetWriteBuffer(room);
            Check(buffer != nullptr, "GetWriteBuffer failed", a);
            Check(strings[a].GetAllocLength() >= room, "buffer smaller than asked", a);
            Check(memcmp(buffer, models[a].data(), oldLength) == 0 && buffer[oldLength] == '\0',
                  "buffer lost the text", a);
            // Room for nothing but the NUL may be the shared empty block.
            for (int j = 0; j < kSlots && !strings[a].IsSharedEmpty(); ++j) {
                if (j != a) Check(!strings[j].SharesBlockWith(strings[a]), "buffer handed out while shared", j);
            }
            std::string known = models[a] + std::string(1, '\0');
            if (known.size() < bytes.size()) known.resize(bytes.size());
            known.replace(0, bytes.size(), bytes);
            memcpy(buffer, bytes.data(), bytes.size());
            if (measure) {
                buffer[bytes.size()] = '\0';
                known.resize(bytes.size());
                known.push_back('\0');
                strings[a].ReleaseWriteBuffer(-1);
                models[a] = known.c_str();
            } else {
                int length = in.ConsumeIntegralInRange(0, static_cast<int>(known.size()) - 1);
                strings[a].ReleaseWriteBuffer(length);
                models[a] = known.substr(0, length);
            }
            break;
        }
        case 9: {
            std::string text = in.ConsumeRandomLengthString(600);
            strings[a] = text.c_str();
            models[a] = text.c_str();
            break;
        }
        case 10: {
            // Text that lies inside the string's own block.
            int length = static_cast<int>(models[a].size());
            int first = in.ConsumeIntegralInRange(0, length);
            int count = in.ConsumeIntegralInRange(0, length - first);
            Check(strings[a].AssignText(strings[a].c_str() + first, count), "AssignText of own text failed", a);
            models[a] = models[a].substr(first, count);
            break;
        }
        case 11: {
            int number = in.ConsumeIntegral<int>();
            bool asText = in.ConsumeBool();
            char expected[1100];
            if (asText) {
                // Format's own argument may point into the string it replaces.
                std::string argument = models[b].c_str();
                Check(strings[a].Format("<%s|%5i>", strings[b].c_str(), number), "Format failed", a);
                snprintf(expected, sizeof(expected), "<%s|%5i>", argument.c_str(), number);
                expected[1023] = '\0';
            } else {
                Check(strings[a].Format("%i", number), "Format failed", a);
                snprintf(expected, sizeof(expected), "%i", number);
            }
            models[a] = expected;
            break;
        }
        case 12: {
            std::vector<WCHAR> wide;
            size_t count = in.ConsumeIntegralInRange<size_t>(0, 300);
            for (size_t i = 0; i < count && in.remaining_bytes() > 0; ++i) wide.push_back(in.ConsumeIntegral<uint16_t>());
            wide.push_back(0);
            strings[a] = CString(wide.data());
            int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
            std::string narrow(bytes > 0 ? bytes : 1, '\0');
            if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, &narrow[0], bytes, nullptr, nullptr);
            models[a] = narrow.c_str();
            break;
        }
        }
        CheckAll(strings, models);
    }
    return 0;
}
