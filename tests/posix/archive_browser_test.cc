#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/sample_archive.h"

namespace {

// Headless Chromium as root in a container: no sandbox, no GPU, no first run.
const std::string kChromium =
    "timeout 60 chromium --headless --no-sandbox --disable-gpu --no-first-run "
    "--window-size=1100,800 ";

// What chromium writes to standard output for arguments.
std::string RunChromium(const std::string& arguments) {
  std::string out;
  if (FILE* pipe = popen((kChromium + arguments + " 2>/dev/null").c_str(), "r")) {
    char chunk[4096];
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, got);
    pclose(pipe);
  }
  return out;
}

// Opens a page in a real browser: its screenshot is kept under the build
// folder (artefacts/) and its text is checked through the DOM.
TEST(ArchiveBrowserTest, ShowsTheMonthAndAReport) {
  if (std::system("command -v chromium >/dev/null 2>&1") != 0) GTEST_SKIP() << "no chromium";
  ServedArchive served;
  std::filesystem::create_directories(QUELLOR_ARTEFACT_DIR);
  const struct {
    std::string path, screenshot, text;
  } pages[] = {
      {"/2005/Jan/?journal=ProcessAlarmJournal", "archive_month.png",
       "<td>03 Jan 2005  08:00:00</td><td>ProcessAlarmJournal</td>"},
      {"/2005/Jan/SystemErrorJournal_05Jan05_091007.htm", "archive_report.png",
       "FIC-9901  FLOW HIGH &lt;10%&gt; &amp; rising"},
  };
  for (const auto& page : pages) {
    const std::string screenshot = std::string(QUELLOR_ARTEFACT_DIR) + "/" + page.screenshot;
    std::filesystem::remove(screenshot);
    RunChromium("--screenshot=" + screenshot + " " + served.url() + page.path);
    EXPECT_GT(std::filesystem::exists(screenshot) ? std::filesystem::file_size(screenshot) : 0,
              1000u);
    const std::string dom = RunChromium("--dump-dom " + served.url() + page.path);
    EXPECT_NE(dom.find(page.text), std::string::npos) << dom;
  }
}

}  // namespace
