#include "ui/file_commands.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>

#include "model/data_code.h"
#include "model/data_set.h"
#include "model/parameter_file.h"
#include "model/recent_files.h"
#include "output/datasheet_print.h"
#include "output/export.h"
#include "history/history_db.h"
#include "text/messages.h"
#include "text/text_keys.h"
#include "text/window_placement.h"
#include "ui/dialogs.h"
#include "ui/frm_main.h"
#include "ui/history_dialogs.h"
#include "ui/ui_services.h"
#include "ui/ui_text.h"

namespace rkt {

namespace {

// One entry of a file dialog's filter list (both cases: names on Linux
// differ by case where Windows ignores it). The pattern is the program's: a
// translation brings only the words, and a pattern it writes in brackets is
// replaced, so that a text without one still lists the right files.
QString FilterEntry(const QString& text, const QString& pattern) {
  static const QRegularExpression kBracket(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
  QString words = text;
  words.remove(kBracket);
  return words.trimmed() + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

// The name a save really writes for a typed name: the default suffix is
// added unless the name ends in one of its own (three letters at most) or
// names a device or FIFO.
QString WrittenParameterName(const QString& typed) {
  return QString::fromStdString(ParameterFileName(typed.toStdString()));
}

QString WrittenPdfName(const QString& typed) {
  return typed.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive) ? typed : typed + QStringLiteral(".pdf");
}

// Runs a file dialog, modal to its window; "" when cancelled. suffixes[i]
// is the default suffix while filter i is chosen. `written` turns the chosen
// name into the one really used; the overwrite question is asked about that
// name, also where the dialog's own check saw another (a dot in the typed
// name keeps the dialog from adding its suffix). An open dialog takes any
// name: the caller finds the file with or without its suffix.
QString AskFile(QWidget* parent, const char* name, bool save, const QStringList& filters, const QStringList& suffixes,
                QString preset, const std::function<QString(const QString&)>& written = {}) {
  for (;;) {
    QFileDialog dialog(parent);
    dialog.setObjectName(QString::fromLatin1(name));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(suffixes.value(0));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, filters, suffixes](const QString& filter) {
      const qsizetype i = filters.indexOf(filter);
      if (i >= 0 && i < suffixes.size()) dialog.setDefaultSuffix(suffixes[i]);
    });
    if (!preset.isEmpty()) dialog.selectFile(preset);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString chosen = dialog.selectedFiles().front();
    if (!save) return chosen;
    const QString target = written ? written(chosen) : chosen;
    if (target == chosen || !QFileInfo::exists(target)) return target;
    // The dialog's own question, in its words and language.
    const QString question = QCoreApplication::translate("QFileDialog", "%1 already exists.\nDo you want to replace it?")
                                 .arg(QFileInfo(target).fileName());
    if (QMessageBox::warning(parent, dialog.windowTitle(), question, QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::No) == QMessageBox::Yes)
      return target;
    preset = chosen;
  }
}

// Whether a read-only file is to be replaced all the same; No by default.
bool AskReplaceReadOnly(const std::string& path) {
  MessageBoxRequest request;
  request.title = Text("frmMessage", "frmMessage");
  request.text = QString::fromStdString(ConvertLineBreaks(Text("Message", "ReplaceReadOnly")))
                     .arg(QString::fromStdString(path))
                     .toStdString();
  request.buttons = msg::kYesNo;
  request.style = msg::kYesNo + msg::kQuestionIcon;
  return ShowMessageBox(request) == msg::kYes;
}

// The file an open means: the name as typed, else with the default suffix.
QString FindParameterFile(const QString& typed) {
  if (QFileInfo(typed).isFile()) return typed;
  const QString withSuffix = typed + QStringLiteral(".RKT");
  if (QFileInfo(withSuffix).isFile()) return withSuffix;
  return WrittenParameterName(typed);
}

}  // namespace

FileCommands::FileCommands(frmMain& window, DataSet& ds)
    : m_window(window), m_ds(ds), m_printerInstalled([] { return !QPrinterInfo::defaultPrinter().isNull(); }) {}

QString FileCommands::AskParameterFile(bool save, const QString& preset) {
  const QStringList filters = {FilterEntry(MainText("FileFilter0"), QStringLiteral("*.RKT *.rkt")),
                               FilterEntry(MainText("FileFilter1"), QStringLiteral("*"))};
  // "All files" keeps the suffix: a bare name is saved with ".RKT" anyway.
  return AskFile(&m_window, "comdlgFile", save, filters, {QStringLiteral("RKT"), QStringLiteral("RKT")}, preset,
                 WrittenParameterName);
}

void FileCommands::Load(const QString& requested) {
  if (DataChanged(m_ds, false)) return;
  QString path = requested;
  if (path.isEmpty() || !FileIsUsable(path.toStdString())) {
    path = AskParameterFile(false, path);
    if (path.isEmpty()) return;
    path = FindParameterFile(path);
  }
  const LoadResult loaded = LoadParameterFileChecked(m_ds, path.toStdString());
  if (loaded.status != LoadStatus::Ok) {
    ShowFileMessage(msg::kInvalidFile, path.toStdString(), loaded.reason);
    return;
  }
  m_window.ShowNewDataSet();
}

bool FileCommands::Save(bool askName) {
  QString name = QString::fromStdString(m_ds.FileName());
  if (name.isEmpty()) askName = true;
  if (askName) {
    name = AskParameterFile(true, name);
    if (name.isEmpty()) return false;
  }
  const bool wasChanged = m_ds.IsChanged();
  m_window.ReadPanel();
  m_window.TakeSensitivity();
  SaveResult saved = SaveParameterFile(m_ds, name.toStdString());
  // A read-only file is replaced only when the user says so, as an editor
  // asks; it stays read-only. No leaves it, and the data, as they were.
  const bool declined = !saved.ok && saved.readOnly && !AskReplaceReadOnly(saved.path);
  if (!saved.ok && saved.readOnly && !declined) saved = SaveParameterFile(m_ds, name.toStdString(), true);
  if (!saved.ok) {
    // The data stays as it was in the window, and so does its changed flag:
    // nothing on disk changed.
    m_ds.RestoreBackup();
    m_ds.SetValue(ValueId::Changed, wasChanged);
    if (!declined) ShowFileMessage(msg::kSaveFailed, saved.path, saved.error);
    return false;
  }
  m_window.FillPanel();
  m_ds.SetValue(ValueId::Changed, false);
  m_window.ShowStatusMessage(MainText("StatusSaved") + QLatin1Char(' ') +
                             QString::fromStdString(FileTitle(m_ds.FileName())));
  return true;
}

void FileCommands::EnterDataCode() {
  if (DataChanged(m_ds, false)) return;
  frmDataCode dialog(m_ds, &m_window);
  QObject::connect(&dialog, &frmDataCode::CodeApplied, &dialog, [this] { m_window.ShowNewDataSet(); });
  ShowFormModal(dialog);
}

void FileCommands::ShowHistory(std::int64_t select) {
  if (!m_history) {
    ShowMessage(msg::kHistoryUnavailable);
    return;
  }
  frmHistory dialog(*m_history, &m_window);
  if (select != 0) dialog.SelectRecord(select);
  ShowFormModal(dialog);
  const auto& record = dialog.Restored();
  if (!record || DataChanged(m_ds, false)) return;
  // The setting goes into the working copy the way a data code does; the
  // sensor's names, which a code does not carry, come from the record.
  if (!ApplyDataCode(m_ds, record->codeBefore)) {
    ShowMessage(msg::kInvalidDataCode);
    return;
  }
  if (!history::Designation(*record).empty()) {
    m_ds.GetBlock(BlockId::Name1, kWorkingCopy) = record->names[0];
    m_ds.GetBlock(BlockId::Name2, kWorkingCopy) = record->names[1];
    m_ds.GetBlock(BlockId::Name3, kWorkingCopy) = record->names[2];
  }
  m_window.ShowNewDataSet();
  m_window.ShowStatusMessage(MainText("StatusRestored")
                                 .arg(RecordTime(*record), RecordSensor(*record),
                                      QStringLiteral("%1").arg(record->serial, 5, 10, QLatin1Char('0'))));
}

void FileCommands::ReportInterruptedWrite() {
  if (!m_history) return;
  const auto record = m_history->UnreportedInterruption();
  if (!record) return;
  // Marked first: whatever the answer, or should the program end meanwhile,
  // the next start does not tell again. A database that cannot take the
  // mark tells again next time rather than not at all.
  m_history->MarkReported(record->id);
  MessageBoxRequest request;
  request.title = Text("frmMessage", "frmMessage");
  request.text = QString::fromStdString(ConvertLineBreaks(Text("Message", "WriteInterrupted")))
                     .arg(RecordSensor(*record), QStringLiteral("%1").arg(record->serial, 5, 10, QLatin1Char('0')),
                          RecordTime(*record))
                     .toStdString();
  request.buttons = msg::kYesNo;
  request.style = msg::kYesNo + msg::kQuestionIcon;
  if (ShowMessageBox(request) == msg::kYes) ShowHistory(record->id);
}

void FileCommands::PrintOrExport(bool showDialog, bool toPrinter) {
  if (toPrinter) {
    if (m_ds.Comment().empty() && !GetComment(m_ds)) return;
    QPrinter printer(QPrinter::HighResolution);
    if (!m_printerInstalled()) {
      // No printer installed: the datasheet goes to a PDF file instead, from
      // the menu too (Windows' print dialog would close at once, as if
      // cancelled, and say nothing).
      const QString pdf = AskFile(&m_window, "comdlgExport", true, {QStringLiteral("PDF (*.pdf)")},
                                  {QStringLiteral("pdf")}, {}, WrittenPdfName);
      if (pdf.isEmpty()) return;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(pdf);
    } else if (showDialog) {
      QPrintDialog dialog(&printer, &m_window);
      dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
      dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
      if (dialog.exec() != QDialog::Accepted) return;
    }
    // The sheet shows what the window shows, pending edits and the
    // sensitivity bar included.
    m_window.ReadPanel();
    m_window.TakeSensitivity();
    const OutputResult result = PrintDatasheet(m_ds, printer);
    if (!result.ok) ShowErrorText(QString::fromStdString(result.error));
    return;
  }
  const QStringList filters = {FilterEntry(MainText("ExportFilter0"), QStringLiteral("*.TXT *.txt")),
                               FilterEntry(MainText("ExportFilter1"), QStringLiteral("*.CSV *.csv"))};
  const QString file =
      AskFile(&m_window, "comdlgExport", true, filters, {QStringLiteral("TXT"), QStringLiteral("CSV")}, {});
  if (file.isEmpty()) return;
  m_window.ReadPanel();
  m_window.TakeSensitivity();
  const OutputResult result = ExportDatasheet(m_ds, file.toStdString());
  if (!result.ok) {
    ShowErrorText(QString::fromStdString(result.error));
    return;
  }
  m_window.ShowStatusMessage(MainText("StatusExported") + QLatin1Char(' ') + QFileInfo(file).fileName());
}

}  // namespace rkt
