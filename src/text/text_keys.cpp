#include "text/text_keys.h"

#include <vector>

#include "text/builtin_texts.h"
#include "text/language.h"
#include "text/messages.h"
#include "text/reason_texts.h"

namespace rkt {

namespace {

std::vector<TextKey> BuildKeys() {
  std::vector<TextKey> k;
  const auto add = [&k](std::string section, std::string key, std::string text) {
    k.push_back({std::move(section), std::move(key), std::move(text)});
  };

  add("RKT", "Language", std::string(kBuiltinLanguageName));
  add("RKT", "Help", std::string(kBuiltinHelpFile));

  for (const int number : MessageNumbers()) add("Errors", std::to_string(number), BuiltinMessageText(number));
  add("Errors", "Default", std::string(kProgramErrorText));

  add("frmMessage", "frmMessage", std::string(kMessageTitle));
  // The button captions of the message boxes, so that they follow the language.
  add("frmMessage", "btOK", "OK");
  add("frmMessage", "btCancel", "Abbrechen");
  add("frmMessage", "btRetry", "&Wiederholen");
  add("frmMessage", "btYes", "&Ja");
  add("frmMessage", "btNo", "&Nein");
  add("frmMessage", "btHelp", "&Hilfe");

  add("Message", "SensorWriteSens", std::string(kSensitivityWriteQuestion));

  // Message 2's lines about the port that could not be opened.
  add("Message", "PortFailed", std::string(kTextPortFailed));
  add("Message", "PortNone", std::string(kTextPortNone));
  add("Message", "PortNoNumber", std::string(kTextPortNoNumber));
  add("Message", "PortUnknownReason", std::string(kTextPortUnknownReason));
  add("Message", "PortPermission", std::string(kTextPortPermission));
  // Why a file or a port could not be used: the program's own reasons and
  // the system's common ones.
  for (const ReasonKey& r : ReasonKeys()) add("Reasons", std::string(r.key), std::string(r.germanText));

  static constexpr const char* kTooltips[] = {"Sensordatensatz laden",
                                              "Sensordatensatz speichern",
                                              "Sensordatensatz ausdrucken",
                                              "Kommunikation testen",
                                              "Daten zum Sensor übertragen",
                                              "Sensordaten lesen",
                                              "Sensorinfo anzeigen",
                                              "Werkseinstellungen vom Sensor laden",
                                              "Empfindlichkeitseinstellung zum Sensor übertragen",
                                              "Sensor-Empfindlichkeit auslesen",
                                              "Sensor Zusatzbeschreibung"};
  for (int i = 0; i < 11; ++i) add("Tooltips", "Tooltip" + std::to_string(i), kTooltips[i]);
  // The two status-bar pictures' tooltips follow the language too.
  add("Tooltips", "SBSens", "Sensor Indikator");
  add("Tooltips", "SBSensFind", "Sensor testen");

  add("Print", "Print", "RKT 410 - Parametereinstellung");
  add("Print", "lblPrintDate", "Druckdatum:");
  add("Print", "lblTyp", "Typenbezeichnung:");
  add("Print", "lblSerial", "Seriennummer:");
  add("Print", "lblYear", "Herstellungsjahr:");
  add("Print", "lblVersion", "Version:");
  add("Print", "lblDatacode", "Datencode:");
  add("Print", "lblComment", "Zusatzbeschreibung:");
  add("Print", "PrintFailed", "Fehler beim Drucken!");
  // A serial number or manufacturing date the sensor does not carry.
  add("Print", "Unknown", "Unbekannt");

  const std::string m = "frmMain";
  add(m, "frmMain", "RKT 410 Parametrierung");
  add(m, "lblFileName", "Datei:");
  add(m, "FileFilter0", "RKT410 Parameter (*.RKT)");
  add(m, "FileFilter1", "Alle Dateien (*.*)");
  add(m, "ExportFilter0", "Textdatei (*.TXT)");
  add(m, "ExportFilter1", "CSV Datei (*.CSV)");
  add(m, "mnFile", "&Datei");
  add(m, "mnLoad", "&Öffnen ...");
  add(m, "mnSave", "&Speichern");
  add(m, "mnSaveas", "Speichern &unter ...");
  add(m, "mnPrint", "&Drucken");
  add(m, "mnExport", "&Export");
  add(m, "mnExit", "&Beenden");
  add(m, "mnOptions", "&Optionen");
  add(m, "mnSensor", "&Sensor");
  add(m, "mnSensorRead", "&Lesen");
  add(m, "mnSensorWrite", "&Schreiben");
  add(m, "mnSensorInfo", "&Info");
  add(m, "mnSensorDefault", "&Werkseinstellungen");
  add(m, "mnExtraInfo", "&Zusatzbeschreibung");
  add(m, "mnSensorTest", "&Kommunikation testen");
  add(m, "mnSensRead", "&Empfindlichkeit lesen");
  add(m, "mnSensWrite", "Emp&findlichkeit schreiben");
  add(m, "mnHelp", "&Hilfe");
  add(m, "mnContents", "&Inhalt");
  add(m, "mnAbout", "Info &über ...");
  add(m, "frameInput", "Eingangsfunktion");
  add(m, "chkInputInv", "negative Logik");
  add(m, "frameGeneral", "Allgemeine Funktionen");
  add(m, "lblFunction", "Funktion des Warnausgangs");
  add(m, "lblKeyboardLock", "Tastaturverriegelung");
  add(m, "frameTimefunction", "Zeitfunktionen");
  add(m, "chkTimefunction1", "Einschaltverzögerung");
  add(m, "chkTimefunction2", "Ausschaltzeit");
  add(m, "lblSwitchfrequency", "Störfilterung");
  add(m, "lblPulse", "Gegenseitige Beeinflussung");
  add(m, "lblHysteresis", "Hysterese");
  add(m, "frameOutput", "Ausgangsfunktion");
  add(m, "chkAlarmOutput", "Ausgang invertiert");
  add(m, "lblProgramLock", "Parametrierung");
  add(m, "chkProgramLock", "sperren");
  add(m, "frameSensitivity", "Empfindlichkeit");
  for (const TextList list : {TextList::OutputType, TextList::TimeFunction2, TextList::Input, TextList::InputOutput,
                              TextList::KeyboardLock, TextList::Pulse, TextList::Hysteresis, TextList::SingleOutput,
                              TextList::Output, TextList::ProgramLock}) {
    const auto items = BuiltinList(list);
    for (std::size_t i = 0; i < items.size(); ++i)
      add(m, std::string(ListControlName(list)) + std::to_string(i), std::string(items[i]));
  }

  add("frmSensorInfo", "frmSensorInfo", "Sensor Info");
  add("frmSensorInfo", "lblTyp", "Typenbezeichnung:");
  add("frmSensorInfo", "lblSerial", "Seriennummer:");
  add("frmSensorInfo", "lblYear", "Herstellungsjahr:");
  add("frmSensorInfo", "lblVersion", "Version:");
  add("frmSensorInfo", "lblCode", "Sensorcode:");
  add("frmSensorInfo", "btOk", "&OK");

  add("frmChanged", "frmChanged", "Sensor Daten geändert");
  add("frmChanged", "btCancel", "&Abbruch");
  add("frmChanged", "btHelp", "&Hilfe");
  add("frmChanged", "btYes", "&Ja");
  add("frmChanged", "lblText0", "Sie haben die Sensorparameter geändert.");
  add("frmChanged", "lblText1", "Wollen Sie wirklich beenden?");
  add("frmChanged", "lblText2", "Wollen Sie die Daten verwerfen?");

  add("frmAbout", "frmAbout", "Info über");
  add("frmAbout", "lblVersion", "Version");
  add("frmAbout", "lblCopyright", "Alle Rechte vorbehalten.");
  add("frmAbout", "lblSoftware", "Software Entwicklung:");

  add("frmRWState", "frmRWState", "RKT410 Parametrierung");
  add("frmRWState", "btCancel", "&Abbruch");
  static constexpr const char* kProgress[] = {"Daten werden zum Sensor übertragen.",
                                              "Sensordaten werden ausgelesen.",
                                              "Sensor suchen.",
                                              "Empfindlichkeitseinstellung wird ausgelesen!",
                                              "Empfindlichkeitsdaten werden zum Senor übertragen!",
                                              "Defaultwerte werden ausgelesen."};
  for (int i = 0; i < 6; ++i) add("frmRWState", "lblSensor" + std::to_string(i), kProgress[i]);

  add("frmPrintComment", "frmPrintComment", "Sensor Datenblatt");
  add("frmPrintComment", "lblComment", "Zusatzbeschreibung:");
  add("frmPrintComment", "btOk", "&OK");
  add("frmPrintComment", "btHelp", "&Hilfe");
  add("frmPrintComment", "btCancel", "&Abbruch");

  add("frmOptions", "frmOptions", "Optionen");
  add("frmOptions", "btOK", "&OK");
  add("frmOptions", "btCancel", "&Abbruch");
  add("frmOptions", "btHelp", "&Hilfe");
  add("frmOptions", "framePort", "Schnittstelle");
  add("frmOptions", "chkTooltips", "Hilfestellungen");
  add("frmOptions", "chkSensor", "Automatische Sensordetektion");
  add("frmOptions", "chkOverview", "Übersicht anzeigen");
  // Support asks for a record of the line; where it goes is shown beside it.
  add("frmOptions", "chkTrace", "Schnittstellenprotokoll aufzeichnen");
  // Stays findable in English for someone lost in a language they cannot read.
  add("frmOptions", "frameSprache", "Sprache/Language");

  add("frmDataCode", "frmDataCode", "Sensor Datencode");
  add("frmDataCode", "btOk", "&OK");
  add("frmDataCode", "btHelp", "&Hilfe");
  add("frmDataCode", "btCancel", "&Abbruch");
  // The code field's name for a screen reader: the dialog has no label for it.
  add("frmDataCode", "txtCode", "Datencode");

  // ---- The safe write: preview, read-back check, history ----
  add("Message", "WriteMixed", "Der Sensor enthält jetzt möglicherweise eine Mischung aus alten und neuen Werten.");
  add("Message", "WriteBackupStored",
      "Seine Einstellung vor dem Schreiben ist im Verlauf gespeichert (Eintrag %1, Datencode %2) und kann von "
      "dort wiederhergestellt werden.");
  add("Message", "WriteBackupCode",
      "Seine Einstellung vor dem Schreiben hat den Datencode %2; mit ihm lässt sie sich wiederherstellen.");
  // A sensitivity write that failed: %1 what the sensor holds after the check;
  // %1 the history record, %2 the sensitivity before the write.
  add("Message", "SensHeld", "Der Sensor hält jetzt die Empfindlichkeit %1.");
  add("Message", "SensBackupStored",
      "Vor dem Schreiben hatte er die Empfindlichkeit %2; sie ist im Verlauf gespeichert (Eintrag %1).");
  add("Message", "SensBackup", "Vor dem Schreiben hatte er die Empfindlichkeit %2.");
  add("Message", "ReplaceReadOnly", "Die Datei %1 ist schreibgeschützt.\\nWollen Sie sie trotzdem ersetzen?");
  add("Message", "WriteLockedUnasked",
      "Achtung! Der Sensor hat jetzt die Parametriersperre eingeschaltet, obwohl die Daten sie nicht verlangen. "
      "Sie lässt sich nur durch einen Sensor-Reset wieder ausschalten.");
  add("Message", "NoChanges", "keine Änderungen");
  add("Message", "ParameterByte", "Parameteradresse %1:");
  add("frmWritePreview", "frmWritePreview", "Änderungen vor dem Schreiben");
  add("frmWritePreview", "lblText", "Diese Werte werden im Sensor geändert:");
  add("frmWritePreview", "colValue", "Wert");
  add("frmWritePreview", "colNow", "Im Sensor");
  add("frmWritePreview", "colNew", "Neu");
  add("frmWritePreview", "lblQuestion", "Wollen Sie die Daten schreiben?");
  add("frmWritePreview", "btYes", "&Ja");
  add("frmWritePreview", "btNo", "&Nein");
  add("frmOptions", "chkPreview", "Änderungen vor dem Schreiben anzeigen");
  add("frmOptions", "lblHistoryDb", "Datenbank der &Schreibhistorie (Datei oder postgresql://Benutzer@Server/Datenbank):");
  add("frmMain", "mnHistory", "&Verlauf");
  add("frmHistory", "frmHistory", "Verlauf");
  add("frmHistory", "lblSerial", "Seriennummer:");
  add("frmHistory", "lblAll", "alle");
  // The list of writes' name for a screen reader: it has no label.
  add("frmHistory", "tblRecords", "Schreibvorgänge");
  add("frmHistory", "colTime", "Zeit");
  add("frmHistory", "colPort", "Schnittstelle");
  add("frmHistory", "colSerial", "Seriennummer");
  add("frmHistory", "colType", "Typ");
  add("frmHistory", "colResult", "Ergebnis");
  add("frmHistory", "lblChanges", "Geänderte Werte:");
  add("frmHistory", "colValue", "Wert");
  add("frmHistory", "colBefore", "Vorher");
  add("frmHistory", "colAfter", "Nachher");
  add("frmHistory", "resDone", "ausgeführt");
  add("frmHistory", "resFailed", "fehlgeschlagen");
  add("frmHistory", "resCancelled", "abgebrochen");
  add("frmHistory", "resVerifyFailed", "Prüfung fehlgeschlagen");
  add("frmHistory", "resInterrupted", "unterbrochen");
  add("frmHistory", "btRestore", "&Wiederherstellen");
  add("frmHistory", "btClose", "&Schließen");
  // A write whose check failed, or that never ended.
  add("frmHistory", "colHeld", "Im Sensor");
  add("frmHistory", "notTaken", "nicht übernommen");
  add("frmHistory", "heldUnknown", "nicht gespeichert");
  add("frmHistory", "lblNotTaken", "Der Sensor hat die markierten Werte nicht übernommen.");
  add("frmHistory", "lblKept", "Datencode im Sensor nach der Prüfung: %1");
  add("frmHistory", "lblHeldUnknown",
      "Der Sensor hat nicht alle Werte übernommen; welche, ist in diesem Eintrag nicht gespeichert.");
  add("frmHistory", "lblInterrupted",
      "Das Schreiben wurde nicht beendet (Programm beendet oder abgestürzt): der Sensor enthält möglicherweise eine "
      "Mischung aus alten und neuen Werten.");
  add("frmHistory", "TypeCode", "Typ %1");
  // Told once at start: %1 the sensor, %2 its serial number, %3 when the write began.
  add("Message", "WriteInterrupted",
      "Ein Schreibvorgang wurde nicht beendet: %1, Seriennummer %2, begonnen %3.\\nDas Programm wurde während des "
      "Schreibens beendet; der Sensor enthält möglicherweise eine Mischung aus alten und neuen Werten.\\n\\n"
      "Wollen Sie den Eintrag im Verlauf anzeigen?");
  // After "Wiederherstellen": %1 when the write began, %2 the sensor, %3 its serial number.
  add(m, "StatusRestored", "Wiederhergestellt: Einstellung vor dem Schreiben vom %1, %2, Seriennummer %3");
  // ---- end of the safe write ----

  // The production station: one setting into sensor after sensor on many ports.
  add(m, "mnStation", "Se&rienbetrieb ...");
  add("frmStation", "frmStation", "Serienbetrieb");
  add("frmStation", "lblSetting", "Daten zum Schreiben (Datencode): %1");
  add("frmStation", "lblPorts", "Schnitt&stellen:");
  add("frmStation", "chkLock", "Parametriersperre &einschalten");
  add("frmStation", "btStart", "S&tarten");
  add("frmStation", "btStop", "&Anhalten");
  add("frmStation", "btCancel", "&Abbrechen");
  add("frmStation", "btClose", "S&chließen");
  add("frmStation", "lblCounts", "Gut: %1   Fehler: %2");
  add("frmStation", "lblTileCounts", "%1 gut, %2 Fehler");
  add("frmStation", "lblSerial", "Seriennummer %1");
  add("frmStation", "stReady", "bereit");
  add("frmStation", "stWaiting", "wartet auf Sensor");
  add("frmStation", "stWriting", "schreibt ...");
  add("frmStation", "stPass", "GUT");
  add("frmStation", "stFail", "FEHLER");
  add("frmStation", "stNoPort", "Schnittstelle fehlt");
  add("frmStation", "stStopped", "angehalten");
  add("frmStation", "NoPorts", "Keine Schnittstelle angegeben.");
  add("frmStation", "NoMatch", "Keine Schnittstelle passt zu %1.");
  add("frmStation", "lblFinishing",
      "Laufende Schreibvorgänge werden zu Ende geführt, danach hält der Serienbetrieb an. Abbrechen bricht sie ab.");
  add("frmStation", "lblCancelling", "Laufende Schreibvorgänge werden abgebrochen ...");
  add("frmStation", "lblStopped", "Der Serienbetrieb ist angehalten.");
  add("frmStation", "lblHistoryBack",
      "Schreibhistorie: der Server ist wieder erreichbar, die aufbewahrten Einträge werden gesendet.");

  // The program's help window.
  add("frmHelp", "frmHelp", "RKT410 Hilfe");
  // The help window's picture buttons, named for their tooltips and a screen reader.
  add("frmHelp", "btContents", "Inhalt");
  add("frmHelp", "btBack", "Zurück");
  add("frmHelp", "btForward", "Vor");

  // Daily handling: Qt's own texts, the first start, success notes, about box.
  // The locale whose Qt translations (qtbase_*.qm) go with the language.
  add("RKT", "Locale", "de");
  add(m, "frameSensor", "Unbekannt");
  add(m, "lblStart", "Sensor lesen (Sensor → Lesen) oder Datei öffnen (Datei → Öffnen)");
  add(m, "StatusSaved", "Gespeichert:");
  add(m, "StatusExported", "Exportiert:");
  add(m, "StatusWritten", "Daten zum Sensor übertragen");
  add(m, "StatusSensWritten", "Empfindlichkeit zum Sensor übertragen");
  // A typed time or sensitivity outside its range: %1 typed, %2 to %3 allowed.
  add(m, "StatusOutOfRange", "Wert %1 nicht übernommen: erlaubt ist %2 bis %3.");
  // The plant's history server: why it cannot be reached; how many records
  // kept on this computer meanwhile it has got now.
  add(m, "StatusHistoryAway", "Schreibhistorie: %1. Die Einträge bleiben auf diesem Rechner und werden später gesendet.");
  add(m, "StatusHistoryBack", "Schreibhistorie: der Server ist wieder erreichbar, %1 aufbewahrte Einträge gesendet.");
  add("frmAbout", "btOk", "&OK");
  // Follows the © sign; the rights themselves are lblCopyright's.
  add("frmAbout", "lblNotice", "Varem electronic");
  return k;
}

}  // namespace

std::span<const TextKey> AllTextKeys() {
  static const std::vector<TextKey> keys = BuildKeys();
  return keys;
}

std::string_view BuiltinText(std::string_view section, std::string_view key) {
  for (const TextKey& k : AllTextKeys())
    if (k.section == section && k.key == key) return k.germanText;
  return {};
}

std::string Text(std::string_view section, std::string_view key) {
  return GetText(section, key, BuiltinText(section, key));
}

std::string LanguageLocale() {
  // A language file that names no locale has none; the built-in German has its own.
  return GetText("RKT", "Locale", CurrentLanguageIndex() == 0 ? BuiltinText("RKT", "Locale") : std::string_view());
}

std::string ListItemText(TextList list, int i) {
  const std::string_view builtin = BuiltinItem(list, i);
  if (builtin.empty() || list == TextList::SwitchingFrequency) return std::string(builtin);
  return Text("frmMain", std::string(ListControlName(list)) + std::to_string(i));
}

}  // namespace rkt
