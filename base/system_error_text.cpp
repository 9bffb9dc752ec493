#include "base/system_error_text.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace varnokel {

namespace {

constexpr std::pair<int, std::string_view> kReasons[] = {
    {ENOENT, "nicht vorhanden"},
    {EACCES, "keine Berechtigung"},
    {EPERM, "nicht erlaubt"},
    {ENOSPC, "kein Platz mehr auf dem Datentr\xC3\xA4ger"},
    {EDQUOT, "Speicherkontingent ersch\xC3\xB6pft"},
    {EIO, "Ein-/Ausgabefehler"},
    {EEXIST, "ist schon vorhanden"},
    {ENOTDIR, "ein Teil des Pfades ist kein Ordner"},
    {EISDIR, "ist ein Ordner"},
    {ENOTEMPTY, "Ordner ist nicht leer"},
    {EROFS, "Dateisystem ist nur lesbar"},
    {ELOOP, "zu viele symbolische Verkn\xC3\xBCpfungen"},
    {ENAMETOOLONG, "Name zu lang"},
    {EMFILE, "zu viele offene Dateien"},
    {ENFILE, "zu viele offene Dateien im System"},
    {EBUSY, "belegt"},
    {EXDEV, "liegt auf einem anderen Dateisystem"},
    {EINVAL, "ung\xC3\xBCltiges Argument"},
    {EBADF, "Datei ist nicht offen"},
    {ENOMEM, "kein Speicher mehr frei"},
    {EFBIG, "Datei zu gro\xC3\x9F"},
    {EADDRINUSE, "Adresse wird schon benutzt"},
    {EADDRNOTAVAIL, "Adresse geh\xC3\xB6rt nicht zu diesem Rechner"},
};

}  // namespace

std::string DescribeError(int err) {
  if (err == 0) return {};
  for (const auto& [number, reason] : kReasons)
    if (number == err) return std::string(reason);
  std::string text = "Systemfehler ";
  return text.append(std::to_string(err)).append(" (").append(std::strerror(err)).append(")");
}

}  // namespace varnokel
