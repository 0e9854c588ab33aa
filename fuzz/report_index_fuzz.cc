// The month's index as whatever bytes dir.xml holds: an update leaves an
// index that is not well-formed, or one that lists the file already,
// exactly as it was, and turns another well-formed one into a well-formed
// index that holds the new entry; it never leaves a temporary file.

#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz_support.h"
#include "output/report_writer.h"
#include "output/service_log.h"
#include "output/well_formed_xml.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace {

constexpr char kEntry[] =
    "<Report>\r\n\t<Name>ProcessAlarmJournal</Name>\r\n\t<Timestamp>07 Dec 2026  "
    "18:00:00</Timestamp>\r\n\t<File>ProcessAlarmJournal_07Dec26_180000.xml</File>\r\n</Report>";

// The month folder, with the log of refused updates kept out of it.
const std::string& MonthFolder() {
  static const std::string folder = [] {
    const std::string month = JoinPath(ScratchFolder(), "Dec");
    Check(CreateFolder(month, nullptr));
    SetLogTarget(ScratchFolder(), SystemClock());
    return month;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string index = JoinPath(MonthFolder(), "dir.xml");
  const std::string before(reinterpret_cast<const char*>(data), size);
  Check(WriteFileReplacing(index, before, nullptr));
  UpdateReportIndex(index, "ProcessAlarmJournal", "07 Dec 2026  18:00:00",
                    "ProcessAlarmJournal_07Dec26_180000.xml");
  std::string after;
  Check(ReadWholeFile(index, &after, nullptr));
  const bool listed =
      before.find("<File>ProcessAlarmJournal_07Dec26_180000.xml</File>") != std::string::npos;
  if (IsWellFormedXml(before) && !listed) {
    Check(IsWellFormedXml(after) && after.find(kEntry) != std::string::npos);
  } else {
    Check(after == before);
  }
  for (const auto& entry : std::filesystem::directory_iterator(MonthFolder())) {
    Check(!IsTemporaryName(entry.path().filename().string()));
  }
  std::filesystem::remove(JoinPath(ScratchFolder(), "QuellorService.log"));
  return 0;
}
