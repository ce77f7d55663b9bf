#include "ui/history_dialogs.h"

#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>

#include "model/text_encoding.h"
#include "ui/ui_text.h"

namespace rkt {

namespace {

QTableWidget* Table(const QString& name, const QStringList& headers) {
  auto* t = new QTableWidget(0, static_cast<int>(headers.size()));
  t->setObjectName(name);
  t->setHorizontalHeaderLabels(headers);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  // Tab goes on to the next control, in reading order; the arrows move within.
  t->setTabKeyNavigation(false);
  t->verticalHeader()->hide();
  t->horizontalHeader()->setStretchLastSection(true);
  return t;
}

// heldUnknown: a fourth column says that what the sensor holds is not known.
void FillChanges(QTableWidget* t, const std::vector<ValueChange>& changes, bool heldUnknown = false) {
  t->setRowCount(static_cast<int>(changes.size()));
  for (int r = 0; r < static_cast<int>(changes.size()); ++r) {
    const ValueChange& c = changes[static_cast<std::size_t>(r)];
    t->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(c.label)));
    t->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(c.before)));
    t->setItem(r, 2, new QTableWidgetItem(QString::fromStdString(c.after)));
    if (t->columnCount() < 4) continue;
    t->setItem(r, 3, new QTableWidgetItem(heldUnknown ? UiText("frmHistory", "heldUnknown") : QString::fromStdString(c.held)));
    if (!c.notTaken) continue;
    // Marked by colour and in words (tooltip, screen readers).
    for (int col = 0; col < 4; ++col) {
      QTableWidgetItem* item = t->item(r, col);
      item->setBackground(QColor(255, 214, 214));
      item->setForeground(QColor(Qt::black));
      item->setToolTip(UiText("frmHistory", "notTaken"));
      item->setData(Qt::AccessibleDescriptionRole, UiText("frmHistory", "notTaken"));
    }
    QFont bold = t->item(r, 3)->font();
    bold.setBold(true);
    t->item(r, 3)->setFont(bold);
  }
  t->resizeColumnsToContents();
}

QPushButton* Button(const char* section, const char* name) {
  auto* b = new QPushButton(UiText(section, name));
  b->setObjectName(QString::fromLatin1(name));
  return b;
}

}  // namespace

QString ResultText(const std::string& result, int code) {
  const char* key = result == "done"            ? "resDone"
                    : result == "cancelled"     ? "resCancelled"
                    : result == "verify-failed" ? "resVerifyFailed"
                    : result == "interrupted"   ? "resInterrupted"
                                                : "resFailed";
  QString text = UiText("frmHistory", key);
  if (code != 0 && result != "cancelled") text += QStringLiteral(" (%1)").arg(code);
  return text;
}

QString RecordTime(const history::HistoryEntry& e) {
  const QDateTime time = QDateTime::fromString(QString::fromStdString(e.time), Qt::ISODateWithMs);
  return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString::fromStdString(e.time);
}

QString RecordSensor(const history::HistoryEntry& e) {
  const std::string designation = history::Designation(e);
  if (!designation.empty()) return QString::fromStdString(Cp1252ToUtf8(designation));
  return UiText("frmHistory", "TypeCode").arg(e.type);
}

frmWritePreview::frmWritePreview(const std::vector<ValueChange>& changes, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmWritePreview"));
  setWindowTitle(UiText("frmWritePreview", "frmWritePreview"));
  lblText = new QLabel(UiText("frmWritePreview", "lblText"));
  lblText->setObjectName(QStringLiteral("lblText"));
  tblChanges = Table(QStringLiteral("tblChanges"),
                     {UiText("frmWritePreview", "colValue"), UiText("frmWritePreview", "colNow"),
                      UiText("frmWritePreview", "colNew")});
  tblChanges->setSelectionMode(QAbstractItemView::NoSelection);
  // A table takes no name from its label: it gets the label's text.
  lblText->setBuddy(tblChanges);
  tblChanges->setAccessibleName(lblText->text());
  FillChanges(tblChanges, changes);
  lblQuestion = new QLabel(UiText("frmWritePreview", "lblQuestion"));
  lblQuestion->setObjectName(QStringLiteral("lblQuestion"));
  btYes = Button("frmWritePreview", "btYes");
  btNo = Button("frmWritePreview", "btNo");
  btNo->setDefault(true);  // a stray Enter must not write
  connect(btYes, &QPushButton::clicked, this, &QDialog::accept);
  connect(btNo, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btYes);
  buttons->addWidget(btNo);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblText);
  layout->addWidget(tblChanges);
  layout->addWidget(lblQuestion);
  layout->addLayout(buttons);
  resize(560, 320);
}

frmHistory::frmHistory(history::HistoryDb& db, QWidget* parent) : QDialog(parent), m_db(db) {
  setObjectName(QStringLiteral("frmHistory"));
  setWindowTitle(UiText("frmHistory", "frmHistory"));
  auto* lblSerial = new QLabel(UiText("frmHistory", "lblSerial"));
  lblSerial->setObjectName(QStringLiteral("lblSerial"));
  cmbSerial = new QComboBox;
  cmbSerial->setObjectName(QStringLiteral("cmbSerial"));
  tblRecords = Table(QStringLiteral("tblRecords"),
                     {UiText("frmHistory", "colTime"), UiText("frmHistory", "colPort"), UiText("frmHistory", "colSerial"),
                      UiText("frmHistory", "colType"), UiText("frmHistory", "colResult")});
  lblChanges = new QLabel(UiText("frmHistory", "lblChanges"));
  lblChanges->setObjectName(QStringLiteral("lblChanges"));
  tblChanges = Table(QStringLiteral("tblChanges"), {UiText("frmHistory", "colValue"), UiText("frmHistory", "colBefore"),
                                                     UiText("frmHistory", "colAfter"), UiText("frmHistory", "colHeld")});
  tblChanges->setSelectionMode(QAbstractItemView::NoSelection);
  lblNote = new QLabel;
  lblNote->setObjectName(QStringLiteral("lblNote"));
  lblNote->setWordWrap(true);
  lblNote->hide();
  lblSerial->setBuddy(cmbSerial);
  lblChanges->setBuddy(tblChanges);
  // A table takes no name from its label: it gets the label's text, or a text of its own.
  tblRecords->setAccessibleName(UiText("frmHistory", "tblRecords"));
  tblChanges->setAccessibleName(lblChanges->text());
  lblError = new QLabel;
  lblError->setObjectName(QStringLiteral("lblError"));
  lblError->setWordWrap(true);
  lblError->hide();
  btRestore = Button("frmHistory", "btRestore");
  btClose = Button("frmHistory", "btClose");

  auto* filter = new QHBoxLayout;
  filter->addWidget(lblSerial);
  filter->addWidget(cmbSerial);
  filter->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btRestore);
  buttons->addWidget(btClose);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filter);
  layout->addWidget(tblRecords, 3);
  layout->addWidget(lblChanges);
  layout->addWidget(tblChanges, 2);
  layout->addWidget(lblNote);
  layout->addWidget(lblError);
  layout->addLayout(buttons);

  // The serial numbers on offer are those the history holds.
  cmbSerial->addItem(UiText("frmHistory", "lblAll"), -1);
  if (const auto all = m_db.List()) {
    std::set<int> serials;
    for (const auto& e : *all) serials.insert(e.serial);
    for (const int s : serials) cmbSerial->addItem(QStringLiteral("%1").arg(s, 5, 10, QLatin1Char('0')), s);
  }
  connect(cmbSerial, &QComboBox::currentIndexChanged, this, &frmHistory::Reload);
  connect(tblRecords, &QTableWidget::itemSelectionChanged, this, &frmHistory::ShowChanges);
  connect(btRestore, &QPushButton::clicked, this, [this] {
    if (const auto* e = Current()) {
      m_restored = *e;
      accept();
    }
  });
  connect(btClose, &QPushButton::clicked, this, &QDialog::reject);
  Reload();
  resize(640, 480);
}

const history::HistoryEntry* frmHistory::Current() const {
  const int row = tblRecords->currentRow();
  if (row < 0 || row >= static_cast<int>(m_entries.size()) || tblRecords->selectedItems().isEmpty()) return nullptr;
  return &m_entries[static_cast<std::size_t>(row)];
}

void frmHistory::Reload() {
  const int serial = cmbSerial->currentData().toInt();
  const auto entries = m_db.List(serial < 0 ? std::nullopt : std::optional<int>(serial));
  m_entries = entries ? *entries : std::vector<history::HistoryEntry>{};
  lblError->setVisible(!entries);
  if (!entries) lblError->setText(QString::fromStdString(m_db.Error()));
  tblRecords->setRowCount(static_cast<int>(m_entries.size()));
  for (int r = 0; r < static_cast<int>(m_entries.size()); ++r) {
    const auto& e = m_entries[static_cast<std::size_t>(r)];
    tblRecords->setItem(r, 0, new QTableWidgetItem(RecordTime(e)));
    tblRecords->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(e.port)));
    tblRecords->setItem(r, 2, new QTableWidgetItem(QStringLiteral("%1").arg(e.serial, 5, 10, QLatin1Char('0'))));
    tblRecords->setItem(r, 3, new QTableWidgetItem(QString::number(e.type)));
    tblRecords->setItem(r, 4, new QTableWidgetItem(ResultText(e.result, e.code)));
  }
  tblRecords->resizeColumnsToContents();
  if (!m_entries.empty()) tblRecords->selectRow(0);
  ShowChanges();
}

bool frmHistory::SelectRecord(std::int64_t id) {
  cmbSerial->setCurrentIndex(0);  // all records
  for (int r = 0; r < static_cast<int>(m_entries.size()); ++r) {
    if (m_entries[static_cast<std::size_t>(r)].id != id) continue;
    tblRecords->selectRow(r);
    tblRecords->scrollToItem(tblRecords->item(r, 0));
    return true;
  }
  return false;
}

void frmHistory::ShowChanges() {
  const auto* e = Current();
  btRestore->setEnabled(e != nullptr);
  std::vector<ValueChange> changes;
  const bool checkFailed = e && e->result == "verify-failed";
  const std::optional<DataSet> held = e ? history::HeldSettingOf(*e) : std::nullopt;
  if (e) {
    const DataSet before = history::SettingOf(*e, true);
    const DataSet after = history::SettingOf(*e, false);
    changes = held ? WriteOutcome(before, after, *held) : ValueChanges(before, after);
  }
  // Records of older programs keep only what was meant: which values did
  // not take is not known, only that some did not.
  FillChanges(tblChanges, changes, checkFailed && !held);
  tblChanges->setColumnHidden(3, !checkFailed);
  const char* note = !e                       ? nullptr
                     : checkFailed && held     ? "lblNotTaken"
                     : checkFailed             ? "lblHeldUnknown"
                     : e->result == "interrupted" ? "lblInterrupted"
                                               : nullptr;
  QString text = note ? UiText("frmHistory", note) : QString();
  // What the sensor kept, as a code that can be typed in to compare or to
  // carry on from it.
  if (checkFailed && !e->codeKept.empty())
    text += QLatin1Char('\n') + UiText("frmHistory", "lblKept").arg(QString::fromStdString(e->codeKept));
  lblNote->setText(text);
  lblNote->setVisible(!text.isEmpty());
}

}  // namespace rkt
