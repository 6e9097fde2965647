// What one process test and one service listing cost, against the cheapest
// way to see the processes at all (one toolhelp snapshot, walked). All three
// are measured in this run, interleaved, so that the ratios hold on a noisy
// machine.
#include <cstdio>
#include <vector>

#include "measure.h"

#include "base/process_list.h"
#include "engine/list_services_api.h"
#include "engine/wmi_find_process.h"

namespace {

void snapshot() {
  base::forEachProcess([](const PROCESSENTRY32&) { return true; });
}

}  // namespace

int main() {
  constexpr int kRounds = 15;
  std::vector<double> floor, wmi, services;
  // One warm-up of each, not counted: the first WMI call starts its service.
  snapshot();
  engine::IsProcessRunning("nothing.exe");
  std::vector<engine::ServiceEntry> list;
  DWORD error = 0;
  engine::listServices(list, error);

  for (int i = 0; i < kRounds; ++i) {
    floor.push_back(bench::milliseconds(snapshot));
    wmi.push_back(bench::milliseconds([] { engine::IsProcessRunning("nothing.exe"); }));
    services.push_back(bench::milliseconds([&] { engine::listServices(list, error); }));
  }
  const double f = bench::median(floor);
  std::printf("median of %d rounds, %zu services listed\n", kRounds, list.size());
  std::printf("  toolhelp snapshot (floor) %8.3f ms   1.0x\n", f);
  std::printf("  IsProcessRunning          %8.3f ms %6.1fx\n", bench::median(wmi), bench::median(wmi) / f);
  std::printf("  listServices              %8.3f ms %6.1fx\n", bench::median(services), bench::median(services) / f);
  return 0;
}
