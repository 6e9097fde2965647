// What one process test and one service listing cost, against the cheapest
// way to see the processes at all (one toolhelp snapshot, walked). All three
// are measured in this run, interleaved, so that the ratios hold on a noisy
// machine.
#include <cstdio>
#include <vector>

#include "measure.h"
#include "win/process_list.h"
#include "win/services.h"
#include "win/wmi_processes.h"

namespace {

void snapshot() {
  win::forEachProcess([](const PROCESSENTRY32&) { return true; });
}

}  // namespace

int main() {
  constexpr int kRounds = 15;
  std::vector<double> floor, wmi, services;
  // One warm-up of each, not counted: the first WMI call starts its service.
  snapshot();
  win::IsProcessRunning("nothing.exe");
  std::size_t listed = win::listServices().services.size();

  for (int i = 0; i < kRounds; ++i) {
    floor.push_back(bench::milliseconds(snapshot));
    wmi.push_back(bench::milliseconds([] { win::IsProcessRunning("nothing.exe"); }));
    services.push_back(bench::milliseconds([&] { win::listServices(); }));
  }
  const double f = bench::median(floor);
  std::printf("median of %d rounds, %zu services listed\n", kRounds, listed);
  std::printf("  toolhelp snapshot (floor) %8.3f ms   1.0x\n", f);
  std::printf("  IsProcessRunning          %8.3f ms %6.1fx\n", bench::median(wmi), bench::median(wmi) / f);
  std::printf("  listServices              %8.3f ms %6.1fx\n", bench::median(services),
              bench::median(services) / f);
  return 0;
}
