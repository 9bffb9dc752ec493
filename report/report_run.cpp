#include "report/report_run.h"

#include "app/core/file_io.h"

namespace varnokel {

std::string ReportDoneStatus(std::string_view database_number) {
  return " HTML - Ausgabe " + std::string(database_number) + " fertig...";
}

void ReportRun(const std::filesystem::path& program_dir, const std::filesystem::path& database_dir,
               const ColourSet& colours) {
  (void)database_dir;
  WriteFileAtomic(program_dir / "html" / "style.css", StyleSheetText(colours));
}

}  // namespace varnokel
