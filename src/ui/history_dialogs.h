#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "history/history_db.h"
#include "output/value_changes.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace rkt {

// Before a write: the values it changes, with the value the sensor holds now
// and the one to be written. Yes (accept) writes, No ends the write.
class frmWritePreview : public QDialog {
  Q_OBJECT
 public:
  explicit frmWritePreview(const std::vector<ValueChange>& changes, QWidget* parent = nullptr);
  QLabel* lblText;
  QTableWidget* tblChanges;
  QLabel* lblQuestion;
  QPushButton *btYes, *btNo;
};

// Sensor → Verlauf: the writes, newest first, filtered by serial number; the
// values a chosen write changed; "Wiederherstellen" hands back its record so
// that the window takes the setting the sensor had before it.
class frmHistory : public QDialog {
  Q_OBJECT
 public:
  explicit frmHistory(history::HistoryDb& db, QWidget* parent = nullptr);
  // The record chosen with "Wiederherstellen"; none after Close.
  const std::optional<history::HistoryEntry>& Restored() const { return m_restored; }
  // Shows all records with this one selected; false when it is not there.
  bool SelectRecord(std::int64_t id);

  QComboBox* cmbSerial;
  QTableWidget* tblRecords;
  QLabel* lblChanges;
  // Beside before and after, what the sensor held when its check failed;
  // the values that did not take are marked.
  QTableWidget* tblChanges;
  QLabel* lblNote;  // what the chosen record says about the sensor's state, and the code it kept
  QLabel* lblError;
  QPushButton *btRestore, *btClose;

 private:
  void Reload();
  void ShowChanges();
  const history::HistoryEntry* Current() const;

  history::HistoryDb& m_db;
  std::vector<history::HistoryEntry> m_entries;
  std::optional<history::HistoryEntry> m_restored;
};

// A record's result in the current language.
QString ResultText(const std::string& result, int code);
// When a record's write began, in local time.
QString RecordTime(const history::HistoryEntry& entry);
// The sensor of a record: its designation, or its type code when the record
// has no names.
QString RecordSensor(const history::HistoryEntry& entry);

}  // namespace rkt
