#pragma once

#include <QString>
#include <cstdint>
#include <functional>

namespace rkt {

namespace history {
class HistoryDb;
}

class DataSet;
class frmMain;

// The commands that load, store and put out the data set: open, save, save
// as and the recent files; print and export (a PDF file where no printer is
// installed); the data code and the restore of a setting from the write
// history. The main window owns one, forwards its menu entries and toolbar
// buttons here, and is told what to refresh.
class FileCommands {
 public:
  FileCommands(frmMain& window, DataSet& ds);

  // Opens the file, or asks for one when path is empty or not usable.
  void Load(const QString& path);
  // False when nothing was saved (cancelled or failed; a failure is reported).
  bool Save(bool askName);
  // The datasheet: on the printer (with the printer dialog or on the current
  // printer) or as a TXT/CSV export. Asks for a description first when the
  // data set has none.
  void PrintOrExport(bool showDialog, bool toPrinter);
  void EnterDataCode();
  // Sensor → Verlauf: the write history, whose "Wiederherstellen" puts a
  // setting from before a write into the window; select: a record to show
  // chosen (0: the newest).
  void ShowHistory(std::int64_t select = 0);
  // At start: a write that began and never ended (the program was killed or
  // crashed) is told once, naming the sensor, with the offer to show it.
  void ReportInterruptedWrite();

  // The write history shown (none: the command says so).
  void SetHistory(history::HistoryDb* db) { m_history = db; }
  // Whether a printer is installed; without one, printing without the
  // dialog writes a PDF file.
  void SetPrinterCheck(std::function<bool()> check) { m_printerInstalled = std::move(check); }

 private:
  // The open/save dialog of the parameter files; "" when cancelled.
  QString AskParameterFile(bool save, const QString& preset);

  frmMain& m_window;
  DataSet& m_ds;
  history::HistoryDb* m_history = nullptr;
  std::function<bool()> m_printerInstalled;
};

}  // namespace rkt
