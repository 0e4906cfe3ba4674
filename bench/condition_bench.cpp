// condition_bench.cpp: the cost of the condition language on the start-up
// path (building the lexer and LALR(1) tables from the grammar text) and the
// evaluations per second of a typical condition. Prints
// "condition_table_build_first_ms: X" (the first build of the process, as at
// start-up), "condition_table_build_ms: X" (best of 20) and
// "condition_evaluations_per_s: N" (best of 3 x 20,000).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "conditions/expression_parser.h"
#include "tests/conditions/fake_system_facts.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

int RunBench() {
  CFakeSystemFacts facts = CFakeSystemFacts::Windows7();
  double firstBuild = 0;
  double bestBuild = 1e9;
  for (int round = 0; round < 20; ++round) {
    Clock::time_point start = Clock::now();
    CExpressionParser parser(facts);
    double build = Milliseconds(Clock::now() - start);
    if (round == 0) firstBuild = build;
    bestBuild = std::min(bestBuild, build);
  }

  CExpressionParser parser(facts);
  CMapStringToString properties = {{L"SETUPLANG", L"ENU"}, {L"INSTALLLEVEL", L"3"}};
  const wchar_t* condition =
      L"{OSVERSION} >= 5.1 AND {ARCHITECTURE} == 64 AND ({SETUPLANG} == \"ENU\" OR "
      L"NOT ({INSTALLLEVEL} == 1))";
  const int kEvaluations = 20000;
  double bestRate = 0;
  for (int round = 0; round < 3; ++round) {
    bool result = false;
    Clock::time_point start = Clock::now();
    for (int i = 0; i < kEvaluations; ++i) {
      if (!parser.Evaluate(condition, &result, &properties) || !result) return 1;
    }
    bestRate = std::max(bestRate, kEvaluations / (Milliseconds(Clock::now() - start) / 1000.0));
  }
  std::printf("condition_table_build_first_ms: %.3f\n", firstBuild);
  std::printf("condition_table_build_ms: %.3f\n", bestBuild);
  std::printf("condition_evaluations_per_s: %.0f\n", bestRate);
  return 0;
}

}  // namespace

#ifdef _WIN32
int wmain() { return RunBench(); }
#else
int main() { return RunBench(); }
#endif
