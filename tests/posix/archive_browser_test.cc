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
    "--hide-scrollbars ";

// What chromium writes to standard output for arguments, in a window of
// size ("WIDTH,HEIGHT").
std::string RunChromium(const std::string& size, const std::string& arguments) {
  std::string out;
  const std::string command = kChromium + "--window-size=" + size + " " + arguments;
  if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
    char chunk[4096];
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, got);
    pclose(pipe);
  }
  return out;
}

// Opens each kind of page in a real browser at a phone's width and checks
// its text through the DOM; screenshots of the month and the report at a
// desktop's and a phone's width are kept under the build folder (artefacts/).
TEST(ArchiveBrowserTest, ShowsMonthDayReportAndSearch) {
  if (std::system("command -v chromium >/dev/null 2>&1") != 0) GTEST_SKIP() << "no chromium";
  ServedArchive served;
  std::filesystem::create_directories(QUELLOR_ARTEFACT_DIR);
  const struct {
    std::string path, name, text;
    bool screenshots;
  } pages[] = {
      {"/2005/Jan/", "month", "<a href=\"/2005/Jan/05/\">5</a> <span class=\"count\">1</span>",
       true},
      {"/2005/Jan/03/", "day", "<td>Process alarm journal</td>", false},
      {"/2005/Jan/SystemErrorJournal_05Jan05_091007?q=FIC-9901", "report",
       "<mark>FIC-9901</mark>  FLOW HIGH &lt;10%&gt; &amp; rising", true},
      {"/search?q=FLOW+HIGH", "search", "<mark>FLOW HIGH</mark> &lt;10%&gt;", false},
  };
  for (const auto& page : pages) {
    for (const std::string size : {"1100,800", "390,844"}) {
      if (!page.screenshots) break;
      const std::string screenshot = std::string(QUELLOR_ARTEFACT_DIR) + "/archive_" + page.name +
                                     "_" + size.substr(0, size.find(',')) + ".png";
      std::filesystem::remove(screenshot);
      RunChromium(size, "--screenshot=" + screenshot + " " + served.url() + page.path);
      EXPECT_GT(std::filesystem::exists(screenshot) ? std::filesystem::file_size(screenshot) : 0,
                1000u);
    }
    const std::string dom = RunChromium("390,844", "--dump-dom " + served.url() + page.path);
    EXPECT_NE(dom.find(page.text), std::string::npos) << dom;
    EXPECT_NE(dom.find("name=\"viewport\""), std::string::npos);
  }
}

}  // namespace
