#pragma once
// What the benchmark programs share: synthetic pages grown from a bundled
// page, the clock, min/median/max, and the one row format of scripts/bench.
#include <windows.h>
#include <string>
#include <vector>

// The bytes of a file, or false.
bool ReadWholeFile(const std::string& path, std::string& bytes);
bool WriteWholeFile(const std::string& path, const std::string& bytes);

// A page of about targetBytes: the sample's head, its body's content repeated,
// and its end, so that it stays one document with one HTML element. With
// lowerCaseScript, the SCRIPT tags are written in lower case (the highlighter
// then colours their content as text).
std::string GrowPage(const std::string& sample, size_t targetBytes, bool lowerCaseScript);

double SecondsSince(LARGE_INTEGER from);
LARGE_INTEGER Now();

struct Spread {
    double min, median, max;
};
Spread SpreadOf(std::vector<double> values);

// One row of the table: a measurement, its unit, its spread, and the
// baseline measured beside it in the same run with the ratio of each pair
// (measurement / baseline, round by round). An empty baseline leaves those
// columns blank.
void PrintHeader();
void PrintRow(const std::string& what, const char* unit, const Spread& value,
              const std::string& baseline = std::string(), const Spread* baseValue = nullptr,
              const Spread* ratio = nullptr);
