#include "text/reason_texts.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "text/language.h"

namespace rkt {

namespace {

// The C library's English wording of each errno below: the process locale
// may translate strerror, but a port or file error can also arrive from a
// library that always speaks English.
constexpr std::array kReasons = {
    ReasonKey{"NoSuchFile", "Datei oder Ordner nicht vorhanden", "No such file or directory", ENOENT},
    ReasonKey{"AccessDenied", "Keine Berechtigung", "Permission denied", EACCES},
    ReasonKey{"NotPermitted", "Vorgang nicht erlaubt", "Operation not permitted", EPERM},
    ReasonKey{"ReadOnly", "Das Dateisystem ist schreibgeschützt", "Read-only file system", EROFS},
    ReasonKey{"DiskFull", "Kein Platz mehr auf dem Datenträger", "No space left on device", ENOSPC},
    ReasonKey{"IsDirectory", "Das ist ein Ordner", "Is a directory", EISDIR},
    ReasonKey{"NotFolder", "Ein Teil des Pfades ist kein Ordner", "Not a directory", ENOTDIR},
    ReasonKey{"NameTooLong", "Der Dateiname ist zu lang", "File name too long", ENAMETOOLONG},
    ReasonKey{"InputOutput", "Ein-/Ausgabefehler", "Input/output error", EIO},
    ReasonKey{"Busy", "Gerät oder Ressource belegt", "Device or resource busy", EBUSY},
    ReasonKey{"IsFolder", "ist ein Ordner", "is a folder", 0},
    ReasonKey{"Fifo", "ist eine FIFO, keine Datei", "is a FIFO, not a file", 0},
    ReasonKey{"Device", "ist ein Gerät, keine Datei", "is a device, not a file", 0},
    ReasonKey{"IsNotRegular", "ist keine gewöhnliche Datei", "is not a regular file", 0},
    ReasonKey{"NotRegular", "keine gewöhnliche Datei", "not a regular file", 0},
    ReasonKey{"NoFileName", "kein Dateiname", "no file name", 0},
    ReasonKey{"ReadOnlyFile", "die Datei ist schreibgeschützt", "the file is read-only", 0},
    ReasonKey{"Empty", "die Datei ist leer", "the file is empty", 0},
    ReasonKey{"TooShort", "die Datei ist zu kurz", "the file is too short", 0},
    ReasonKey{"EndsEarly", "die Datei endet zu früh", "ends early", 0},
    ReasonKey{"WrongHeader", "keine Parameterdatei (falscher Dateikopf)", "not a parameter file (wrong header)", 0},
    ReasonKey{"Damaged", "keine Parameterdatei oder beschädigt", "not a parameter file or damaged", 0},
    ReasonKey{"CommentPastEnd", "die Zusatzbeschreibung reicht über das Dateiende hinaus",
              "the comment reaches past the end of the file", 0},
    ReasonKey{"CommentLength", "die Länge der Zusatzbeschreibung (%1) ist größer als erlaubt",
              "the comment length %1 is beyond the limit", 0},
    ReasonKey{"CommentTooLong", "die Zusatzbeschreibung ist länger als %1 Zeichen",
              "the comment is longer than %1 characters", 0},
    ReasonKey{"PdfStart", "das PDF lässt sich nicht beginnen", "cannot start the PDF", 0},
    ReasonKey{"PdfEnd", "das PDF lässt sich nicht abschließen", "the PDF could not be finished", 0},
    ReasonKey{"DbLocked", "die Datenbank ist von einem anderen Programm gesperrt",
              "the database is locked by another program", 0},
    ReasonKey{"DbReadOnly", "die Datenbank ist schreibgeschützt", "the database is read-only", 0},
    ReasonKey{"DbDamaged", "die Datenbank ist beschädigt", "the database is damaged", 0},
    ReasonKey{"DbCannotOpen", "die Datenbank lässt sich nicht öffnen", "the database cannot be opened", 0},
    ReasonKey{"DbNoServer", "der Datenbankserver ist nicht erreichbar", "the database server cannot be reached", 0},
    ReasonKey{"DbNoDriver", "der PostgreSQL-Treiber ist nicht vorhanden", "the PostgreSQL driver is not available", 0},
    ReasonKey{"DbNewer", "die Datenbank stammt von einer neueren Programmversion (Schema %1)",
              "written by a newer program (schema %1)", 0},
};

// The number a pattern's "%1" stands for, when text matches the pattern; the
// whole text as its own "number" for a pattern without one.
bool Matches(std::string_view text, std::string_view pattern, std::string& number) {
  const std::size_t mark = pattern.find("%1");
  if (mark == std::string_view::npos) return text == pattern;
  const std::string_view head = pattern.substr(0, mark);
  const std::string_view tail = pattern.substr(mark + 2);
  if (text.size() <= head.size() + tail.size() || !text.starts_with(head) || !text.ends_with(tail)) return false;
  const std::string_view middle = text.substr(head.size(), text.size() - head.size() - tail.size());
  for (std::size_t i = 0; i < middle.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(middle[i])) && !(i == 0 && middle[i] == '-')) return false;
  number = std::string(middle);
  return true;
}

std::string Translated(const ReasonKey& r, const std::string& number) {
  std::string text = GetText("Reasons", r.key, r.germanText);
  if (const std::size_t at = text.find("%1"); at != std::string::npos) text.replace(at, 2, number);
  return text;
}

}  // namespace

std::span<const ReasonKey> ReasonKeys() { return kReasons; }

std::string ReasonText(std::string_view reason) {
  std::string number;
  for (const ReasonKey& r : kReasons) {
    if (Matches(reason, r.pattern, number)) return Translated(r, number);
    // The same error in the wording of the process locale.
    if (r.error != 0 && (reason == std::strerror(r.error) || reason == std::generic_category().message(r.error)))
      return Translated(r, {});
  }
  return std::string(reason);
}

}  // namespace rkt
