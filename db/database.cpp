#include "db/database.h"

namespace varnokel {

bool IsValidDatabaseNumber(std::string_view number) {
  return number.size() == 1 && number[0] >= '1' && number[0] <= '9';
}

std::filesystem::path DatabaseDir(const std::filesystem::path& program_dir,
                                  std::string_view database_number) {
  return std::filesystem::path(program_dir.string() + "/Datenbanken/db" +
                               std::string(database_number));
}

}  // namespace varnokel
