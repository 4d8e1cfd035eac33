// glimmerdeck-bench-road: the whole road of a button press, timed and
// measured in the browser stand-in, with the module's code in this process.
//
//   glimmerdeck-bench-road times PAGE_100K PAGE_1M PAGE_5M   open times, their ratio, one re-render
//   glimmerdeck-bench-road memory PAGE                        peak private bytes of one press
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
#include "tools/bench/RoadPress.h"

namespace {

const char kUsage[] = "usage: glimmerdeck-bench-road times PAGE_100K PAGE_1M PAGE_5M | memory PAGE\n";

bool LoadModel(const std::string& path, PageModel& model, size_t& bytes)
{
    std::string page;
    if (!ReadWholeFile(path, page) || page.empty()) {
        fprintf(stderr, "glimmerdeck-bench-road: cannot read %s\n", path.c_str());
        return false;
    }
    bytes = page.size();
    model = PageModel::FromBytes(page);
    return true;
}

bool Shown(const PressResult& press, const std::string& page)
{
    if (press.viewerShown && !press.timedOut) return true;
    fprintf(stderr, "glimmerdeck-bench-road: %s: the viewer %s\n", page.c_str(),
            press.timedOut ? "was still open at the deadline" : "did not show the page");
    return false;
}

std::string Megabytes(const char* what, size_t bytes)
{
    char text[96];
    snprintf(text, sizeof text, "%s (%.2f MB)", what, bytes / 1048576.0);
    return text;
}

int Times(char** paths)
{
    PageModel models[3];
    size_t sizes[3];
    for (int i = 0; i < 3; ++i)
        if (!LoadModel(paths[i], models[i], sizes[i])) return 1;
    // Wine's rich edit takes time that grows faster than the page in its
    // stream-in of a many-coloured document (minutes at 5 MB), so the larger
    // pages get fewer rounds; the ratio of the two is then one of medians.
    const int rounds[3] = { 5, 3, 1 };
    std::vector<double> open[3], own[3], rerender, rerenderOwn;
    PressOptions plain, again;
    again.rerender = true;
    for (int i = 0; i < 3; ++i) {
        for (int round = 0; round < rounds[i]; ++round) {
            PressResult press = PressButton(models[i], i == 2 && round == 0 ? again : plain);
            if (!Shown(press, paths[i])) return 1;
            open[i].push_back(press.openSeconds * 1000);
            own[i].push_back((press.openSeconds - press.openStreamSeconds) * 1000);
            if (i == 2 && round == 0) {
                if (press.charset != ARABIC_CHARSET) {
                    fprintf(stderr, "glimmerdeck-bench-road: the Encoding menu did not choose Arabic (%d)\n",
                            press.charset);
                    return 1;
                }
                rerender.push_back(press.rerenderSeconds * 1000);
                rerenderOwn.push_back((press.rerenderSeconds - press.rerenderStreamSeconds) * 1000);
            }
        }
    }
    for (int i = 0; i < 3; ++i) {
        Spread whole = SpreadOf(open[i]), mine = SpreadOf(own[i]);
        Spread share = { mine.min / whole.min, mine.median / whole.median, mine.max / whole.max };
        PrintRow(Megabytes("road: Exec to painted viewer", sizes[i]), "ms", whole);
        PrintRow("  outside the control's stream-in", "ms", mine, "", nullptr, &share);
    }
    Spread one = SpreadOf(open[1]), five = SpreadOf(open[2]);
    Spread oneOwn = SpreadOf(own[1]), fiveOwn = SpreadOf(own[2]);
    Spread growth = { five.median / one.median, five.median / one.median, five.median / one.median };
    Spread growthOwn = { fiveOwn.median / oneOwn.median, fiveOwn.median / oneOwn.median,
                         fiveOwn.median / oneOwn.median };
    PrintRow("road: t(5 MB) / t(1 MB), whole", "ms", five, "the 1 MB page", &one, &growth);
    PrintRow("road: t(5 MB) / t(1 MB), outside stream-in", "ms", fiveOwn, "the 1 MB page", &oneOwn, &growthOwn);
    Spread again5 = SpreadOf(rerender), againOwn = SpreadOf(rerenderOwn);
    Spread againShare = { again5.median / five.median, again5.median / five.median, again5.median / five.median };
    PrintRow(Megabytes("road: Encoding menu re-render", sizes[2]), "ms", again5, "its first open", &five, &againShare);
    PrintRow("  outside the control's stream-in", "ms", againOwn);
    return 0;
}

int Memory(const std::string& path)
{
    PageModel model;
    size_t bytes;
    if (!LoadModel(path, model, bytes)) return 1;
    PressResult press = PressButton(model);
    if (!Shown(press, path)) return 1;
    const double page = static_cast<double>(bytes);
    Spread peak = { press.peakPrivate / page, press.peakPrivate / page, press.peakPrivate / page };
    Spread before = { press.privateBefore / page, press.privateBefore / page, press.privateBefore / page };
    Spread added = { (press.peakPrivate - press.privateBefore) / page, 0, 0 };
    added.median = added.max = added.min;
    char what[96];
    snprintf(what, sizeof what, "peak private bytes / page (%.2f MB, %d chars shown)", bytes / 1048576.0,
             press.textLength);
    PrintRow(what, "x", peak, "before Exec (stand-in's model)", &before);
    PrintRow("  added by the press", "x", added);
    const double held = press.heldByControl / page;
    PrintRow("  held by the control after its stream-in", "x", Spread{ held, held, held });
    const double own = added.min - held;
    PrintRow("  added by the press, less the control", "x", Spread{ own, own, own });
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
    int code = command == "times" ? Times(argv + 2) : Memory(argv[2]);
    ModuleDetach();
    CoUninitialize();
    return code;
}
