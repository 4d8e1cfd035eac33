// glimmerdeck-bench-press: a whole button press, timed and
// measured in the browser stand-in, with the module's code in this process.
//
//   glimmerdeck-bench-press times PAGE_1M PAGE_2M PAGE_5M   first screen and whole document of each, their
//                                                          growth, one re-render and one resize of the last
//   glimmerdeck-bench-press memory PAGE                        peak private bytes of one press
//
// Prints rows of the one table (BenchSupport.h). Exit codes: 0 done, 1 a page
// could not be read or the viewer did not show it in time, 2 bad arguments.
#include <windows.h>
#include <objbase.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "server/ModuleLifetime.h"
#include "tools/bench/BenchSupport.h"
#include "tools/bench/ButtonPress.h"

namespace {

// A hang guard only.
const DWORD kDeadlineMs = 60 * 60 * 1000;

const char kUsage[] = "usage: glimmerdeck-bench-press times PAGE_1M PAGE_2M PAGE_5M | memory PAGE\n";

bool LoadModel(const std::string& path, PageModel& model, size_t& bytes)
{
    std::string page;
    if (!ReadWholeFile(path, page) || page.empty()) {
        fprintf(stderr, "glimmerdeck-bench-press: cannot read %s\n", path.c_str());
        return false;
    }
    bytes = page.size();
    model = PageModel::FromBytes(page);
    return true;
}

bool Shown(const PressResult& press, const std::string& page)
{
    if (press.viewerShown && !press.timedOut) return true;
    fprintf(stderr, "glimmerdeck-bench-press: %s: the viewer %s\n", page.c_str(),
            press.timedOut ? "was still open at the deadline" : "did not show the page");
    return false;
}

std::string Megabytes(const char* what, size_t bytes)
{
    char text[96];
    snprintf(text, sizeof text, "%s (%.2f MB)", what, bytes / 1048576.0);
    return text;
}

void PrintMemory(const PressResult& press, size_t bytes)
{
    const double page = static_cast<double>(bytes);
    const double peak = press.peakPrivate / page, before = press.privateBefore / page;
    const double added = (press.peakPrivate - press.privateBefore) / page, held = press.heldByControl / page;
    char what[96];
    snprintf(what, sizeof what, "  peak private bytes / page (%d chars shown)", press.textLength);
    const Spread model = { before, before, before };
    PrintRow(what, "x", Spread{ peak, peak, peak }, "before Exec (stand-in's model)", &model);
    PrintRow("  added by the press", "x", Spread{ added, added, added });
    PrintRow("  held by the control after its stream-in", "x", Spread{ held, held, held });
    PrintRow("  added by the press, less the control", "x", Spread{ added - held, added - held, added - held });
}

Spread Same(double value)
{
    return Spread{ value, value, value };
}

int Times(char** paths, int count)
{
    PageModel models[3];
    size_t sizes[3];
    for (int i = 0; i < count; ++i)
        if (!LoadModel(paths[i], models[i], sizes[i])) return 1;
    // Rows are printed as each page is done; the larger pages get fewer rounds.
    const int rounds[3] = { 3, 2, 1 };
    std::vector<double> first[3], whole[3], own[3];
    PressOptions plain;
    plain.deadlineMs = kDeadlineMs;
    for (int i = 0; i < count; ++i) {
        PressResult last;
        for (int round = 0; round < rounds[i]; ++round) {
            last = PressButton(models[i], plain);
            if (!Shown(last, paths[i])) return 1;
            first[i].push_back(last.openSeconds * 1000);
            whole[i].push_back(last.wholeSeconds * 1000);
            own[i].push_back((last.wholeSeconds - last.openStreamSeconds) * 1000);
        }
        Spread all = SpreadOf(whole[i]), mine = SpreadOf(own[i]);
        Spread share = { mine.min / all.min, mine.median / all.median, mine.max / all.max };
        PrintRow(Megabytes("press: Exec to first screen", sizes[i]), "ms", SpreadOf(first[i]));
        PrintRow("  Exec to whole document shown", "ms", all);
        PrintRow("  outside the control's stream-ins", "ms", mine, "", nullptr, &share);
        PrintMemory(last, sizes[i]);
    }
    const Spread one = SpreadOf(whole[0]), five = SpreadOf(whole[count - 1]);
    const double g = five.median / one.median;
    const Spread growth = Same(g);
    PrintRow("press: t(5 MB) / t(1 MB), whole document", "ms", five, "the 1 MB page", &one, &growth);

    PressOptions again;
    again.rerender = true;
    again.resize = true;
    again.deadlineMs = kDeadlineMs;
    PressResult press = PressButton(models[count - 1], again);
    if (!Shown(press, paths[count - 1])) return 1;
    if (press.charset != ARABIC_CHARSET) {
        fprintf(stderr, "glimmerdeck-bench-press: the Encoding menu did not choose Arabic (%d)\n", press.charset);
        return 1;
    }
    const double t = press.rerenderSeconds * 1000, tOwn = (press.rerenderSeconds - press.rerenderStreamSeconds) * 1000;
    const Spread firstOpen = Same(press.wholeSeconds * 1000), againShare = Same(press.rerenderSeconds / press.wholeSeconds);
    PrintRow(Megabytes("press: Encoding menu re-render, whole document", sizes[count - 1]), "ms", Same(t),
             "its first open", &firstOpen, &againShare);
    PrintRow("  its first screen", "ms", Same(press.rerenderFirstSeconds * 1000));
    PrintRow("  outside the control's stream-ins", "ms", Same(tOwn));
    PrintRow(Megabytes("press: widening the viewer by 80 pixels", sizes[count - 1]), "ms",
             Same(press.resizeSeconds * 1000), "its first open", &firstOpen, nullptr);
    return 0;
}

int Memory(const std::string& path)
{
    PageModel model;
    size_t bytes;
    if (!LoadModel(path, model, bytes)) return 1;
    PressOptions options;
    options.deadlineMs = kDeadlineMs;
    PressResult press = PressButton(model, options);
    if (!Shown(press, path)) return 1;
    PrintRow(Megabytes("press: one press, whole document", bytes), "ms", Same(press.wholeSeconds * 1000));
    PrintMemory(press, bytes);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string command = argc > 1 ? argv[1] : "";
    if (!((command == "times" && argc == 5) || (command == "memory" && argc == 3))) {
        fputs(kUsage, stderr);
        return 2;
    }
    if (FAILED(CoInitialize(nullptr))) return 1;
    ModuleAttach(GetModuleHandleA(nullptr));
    int code = command == "times" ? Times(argv + 2, argc - 2) : Memory(argv[2]);
    ModuleDetach();
    CoUninitialize();
    return code;
}
