// The metrics file: label values escaped, every metric with its help and type, LF lines only; written
// whole over the old file while a reader holds that open. The file written here is checked by
// promtool afterwards (see CMakeLists.txt).
#include "formats/metrics_text.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <thread>

#include "support/temp_folder.h"
#include "win/files.h"

namespace {

TEST(MetricsText, EscapesLabelValues) {
  const std::pair<const char*, const char*> cases[] = {{"", R"("")"},
                                                       {"notepad.exe", R"("notepad.exe")"},
                                                       {R"(C:\Apps\a.exe)", R"("C:\\Apps\\a.exe")"},
                                                       {"say \"hi\"\nbye\\", R"("say \"hi\"\nbye\\")"}};
  for (const auto& [value, escaped] : cases) EXPECT_EQ(formats::escapeLabelValue(value), escaped) << value;
}

TEST(MetricsText, NamesEveryMetricWithItsTypeAndIsReplacedWholeWhileRead) {
  formats::EngineMetrics m{"service", "1.0.0", 4, 1, 1'765'000'000, {}};
  m.items.push_back({"C:\\Tools\\\"odd\"\nname", false, false, 3, 2, 1, 1'764'999'990, 10});
  m.items.push_back({"Print Spooler", true, true, 0, 0, 0, 0, 0});
  const std::string text = formats::metricsText(m);
  const std::pair<const char*, const char*> types[] = {
      {"brennix_item_up", "gauge"},
      {"brennix_item_stops_total", "counter"},
      {"brennix_item_restarts_total", "counter"},
      {"brennix_item_restart_failures_total", "counter"},
      {"brennix_item_last_stop_timestamp_seconds", "gauge"},
      {"brennix_item_restart_pause_seconds", "gauge"},
      {"brennix_emails_sent_total", "counter"},
      {"brennix_emails_failed_total", "counter"},
      {"brennix_engine_info", "gauge"},
      {"brennix_engine_heartbeat_timestamp_seconds", "gauge"}};
  for (const auto& [name, type] : types) {
    EXPECT_NE(text.find("\n# TYPE " + std::string(name) + " " + type + "\n"), std::string::npos) << name;
    EXPECT_NE(text.find("# HELP " + std::string(name) + " "), std::string::npos) << name;
  }
  for (const char* line :
       {"brennix_item_up{engine=\"service\",item=\"C:\\\\Tools\\\\\\\"odd\\\"\\nname\",kind=\"program\"} 0\n",
        "brennix_item_restart_pause_seconds{engine=\"service\",item=\"Print Spooler\",kind=\"service\"} 0\n",
        "brennix_engine_info{engine=\"service\",version=\"1.0.0\",mode=\"service\"} 1\n",
        "brennix_engine_heartbeat_timestamp_seconds{engine=\"service\"} 1765000000\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << text;
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_TRUE(text.ends_with("\n"));

  support::TempFolder folder;
  const std::string path = folder.file("brennix_monitor_service.prom");
  folder.write("brennix_monitor_service.prom", "old\n");
  HANDLE reader =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  std::thread closer([&] {
    Sleep(150);
    CloseHandle(reader);
  });
  EXPECT_EQ(win::replaceFile(path, text), static_cast<DWORD>(NO_ERROR));
  closer.join();
  EXPECT_EQ(folder.read("brennix_monitor_service.prom"), text);
  EXPECT_EQ(win::replaceFile(PROMTOOL_SAMPLE, text), static_cast<DWORD>(NO_ERROR));
}

}  // namespace
