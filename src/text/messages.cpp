#include "text/messages.h"

#include <string_view>

#include "text/language.h"

namespace rkt {

std::string BuiltinMessageText(int number) {
  switch (number) {
    case 1: return "Der Sensor kann nicht angesprochen werden!";
    case 2: return "Fehler bei der Initialisierung der seriellen Schnittstelle!";
    case 3: return "Kommunikation ok!";
    case 4: return "Fehler beim Schreiben der Initialisierungsdaten!";
    case 20: return "Ungültige Datendatei!";
    case 21: return "Fehler beim Speichern der Datei!";
    case 30: return "Fehler: Sensor und Daten haben unterschiedlichen Typenschlüssel!";
    case 31:
      return std::string("Der Sensortyp hat sich geändert.\\n") +
             "Die Daten sind auf diesen Typ nicht übertragbar.\\n\\n" +
             "Wollen Sie die Daten des neuen Sensors einlesen?";
    case 32: return "Der Sensor ist gesperrt.\\nDie Daten können nicht übertragen werden.";
    case 33:
      return "Achtung! Die Parametriersperre ist aktiviert!\\nSie läßt sich nur durch einen Sensor-Reset wieder "
             "ausschalten.";
    case 34: return "Ungültiger Datencode!";
    case 35:
      return std::string("Sie haben die Zusatzbeschreibung dieses Datensatzes\\n") +
             "geändert! Um die Zusatzbeschreibung zu sichern, müssen\\n" +
             "Sie die Daten in einer Datei speichern.";
    case 1001: return "Fehler beim Lesen der Sensordaten! (1001)";
    case 1002: return "Fehler beim Lesen der Sensordaten! (1002)";
    // A wrong block echo is reported to users under the number 1003.
    case 1005: return "Fehler beim Lesen der Sensordaten! (1003)";
    case 1010: return "Fehler beim Schreiben der Sensordaten! (1010)";
    case 1011: return "Fehler beim Schreiben der Sensordaten! (1011)";
    case 1012: return "Fehler beim Schreiben der Sensordaten! (1012)";
    case 1021: return "Fehler beim Schreiben der Sensordaten! (1021)";
    case 1030: return "Benutzer Abbruch";
    default: return {};
  }
}

std::string GetErrorText(int number) {
  std::string text = GetText("Errors", std::to_string(number), "");
  if (!text.empty()) return text;
  return BuiltinMessageText(number);
}

std::string MessageDisplayText(int number) {
  std::string text = GetErrorText(number);
  if (text.empty()) {
    text = GetText("Errors", "Default", "Programmfehler! Fehlernummer");
    // One blank before a number ≥ 0, the minus sign alone before a negative.
    text += number >= 0 ? " " + std::to_string(number) : std::to_string(number);
  }
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      out.push_back('\n');
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace rkt
