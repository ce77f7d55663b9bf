#include "ui_test_support.h"
#include "history/history_db.h"
#include "model/parameter_file.h"
#include "model/recent_files.h"
#include "model/safe_file.h"
#include "text/help_window.h"
#include "text/ini_file.h"
#include "text/language.h"
#include "text/message_box.h"
#include "text/text_keys.h"
#include "ui/accessibility.h"
#include "ui/frm_main.h"
#include "ui/history_dialogs.h"
#include "ui/toolbar/toolbar_icons.h"

namespace rkt {
namespace {

using test::kSample;

void TypeAndAccept(QFileDialog* d, const QString& folder, const QString& name) {
  d->setDirectory(folder);
  auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  edit->setText(name);
  QTest::keyClick(edit, Qt::Key_Return);
}

struct MainWindowFixture : ::testing::Test {
  DataSet ds;
  RecentFiles recent;
  frmMain window{ds, recent};
  QTemporaryDir dir;
  MainWindowFixture() { ds.SetRecentFiles(&recent); }
  QString Path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
  QLabel* Label(const char* name) { return window.findChild<QLabel*>(QString::fromLatin1(name)); }
  bool Enabled(const char* action) { return window.Action(action)->isEnabled(); }
  void ChooseInNextFileDialog(const char* name) {
    test::OnNext<QFileDialog>([this, name](QFileDialog* d) { TypeAndAccept(d, dir.path(), QString::fromUtf8(name)); });
  }
};

TEST_F(MainWindowFixture, StartOffersOnlyWhatNeedsNoDataAndAFileEnablesTheRest) {
  const bool expected[11] = {true, false, false, true, false, true, false, false, false, true, false};
  for (int i = 0; i < 11; ++i) EXPECT_EQ(window.ToolbarAction(i)->isEnabled(), expected[i]) << "button " << i;
  for (const char* item : {"mnSave", "mnSaveas", "mnPrint", "mnExport", "mnSensorWrite", "mnSensorInfo", "mnSensWrite"})
    EXPECT_FALSE(Enabled(item)) << item;
  EXPECT_TRUE(Enabled("mnLoad") && window.Action("mnLoad")->shortcut() == QKeySequence(QKeySequence::Open));
  EXPECT_TRUE(window.SensorFrame()->isHidden() && !window.StartHint()->isHidden()) << "no data: a hint, no form";
  window.Files().Load(kSample);
  EXPECT_TRUE(Enabled("mnSave") && window.ToolbarAction(6)->isEnabled() && window.SensitivityAvailable());
  EXPECT_EQ(window.SensorFrame()->title() + window.Panel()->cmbInput->currentText(), QStringLiteral("RKT 410-DL/2UND-Verknüpfung"));
  EXPECT_TRUE(!window.SensorFrame()->isHidden() && window.StartHint()->isHidden() && Label("lblTBChanged")->text().isEmpty());
  test::Choose(window.Panel()->cmbKeyboardlock, 2);
  EXPECT_EQ(Label("lblTBChanged")->text(), QStringLiteral("C"));
  emit window.Panel()->InputRejected(QStringLiteral("Wert 30 nicht übernommen"));
  EXPECT_EQ(window.StatusMessage(), QStringLiteral("Wert 30 nicht übernommen")) << "a value not taken is said in the status bar";
  EXPECT_FALSE(window.findChild<QAction*>(QStringLiteral("mnFileSep"))->isVisible());
  for (const char* path : {"/data/line1/job.RKT", "/data/line2/job.RKT", "/data/b&c.RKT"}) recent.AddRecentFile(path);
  EXPECT_TRUE(window.findChild<QAction*>(QStringLiteral("mnFileSep"))->isVisible());
  EXPECT_EQ(window.Action("mnFiles1")->text() + window.Action("mnFiles2")->text(), QStringLiteral("&1 b&&c.RKT&2 job.RKT"));
}

// Saving over a read-only file asks first: No keeps the file and the data marked changed, Yes replaces it and
// it stays read-only.
TEST_F(MainWindowFixture, SavingOverAReadOnlyFileAsksFirst) {
  test::MessageRecorder messages;
  window.Files().Load(kSample);
  const QString target = Path("kept.RKT");
  ds.SetValue(ValueId::FileName, target.toStdString());
  ASSERT_TRUE(window.Files().Save(false));
  const QByteArray before = test::Bytes(target);
  const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
  ASSERT_TRUE(QFile::setPermissions(target, readOnly));
  test::Choose(window.Panel()->cmbHysteresis, 2);
  const std::string question = "Die Datei " + target.toStdString() + " ist schreibgeschützt.\nWollen Sie sie trotzdem ersetzen?";
  messages.queue = {msg::kNo};
  EXPECT_FALSE(window.Files().Save(false));
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{question});
  EXPECT_EQ(messages.shown.at(0).buttons, msg::kYesNo);
  EXPECT_EQ(test::Bytes(target), before);
  EXPECT_TRUE(ds.IsChanged());
  messages.shown.clear();
  messages.queue = {msg::kYes};
  EXPECT_TRUE(window.Files().Save(false));
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{question});
  DataSet reread;
  ASSERT_EQ(LoadParameterFile(reread, target.toStdString()), LoadStatus::Ok);
  EXPECT_EQ(reread.GetInt(ValueId::Hysteresis, kWorkingCopy), 2);
  EXPECT_EQ(QFile::permissions(target) & (readOnly | QFileDevice::WriteOwner), readOnly) << "still read-only";
  EXPECT_FALSE(ds.IsChanged());
}

TEST_F(MainWindowFixture, SaveExportAndPrintWriteTheChosenFileAndFailuresAreReported) {
  test::MessageRecorder messages;
  const QString bad = Path("bad.RKT");
  ASSERT_TRUE(test::WriteFile(bad, "not a parameter file"));
  window.Files().Load(kSample);
  window.Files().Load(bad);
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{test::MessageRecorder::Numbered({20})[0] + "\n" +
                                                       bad.toStdString() + ": keine Parameterdatei (falscher Dateikopf)"});
  EXPECT_EQ(ds.FileName(), AbsolutePath(kSample.toStdString())) << "an invalid file changes nothing";
  messages.shown.clear();
  test::Choose(window.Panel()->cmbHysteresis, 2);
  const std::string target = Path("job").toStdString();
  ds.SetValue(ValueId::FileName, target);
  ASSERT_TRUE(window.Files().Save(false));
  EXPECT_EQ(std::tuple(ds.IsChanged(), window.StatusMessage()), std::tuple(false, QStringLiteral("Gespeichert: job.RKT")));
  DataSet reread;
  ASSERT_EQ(LoadParameterFile(reread, target + ".RKT"), LoadStatus::Ok);
  EXPECT_EQ(reread.GetInt(ValueId::Hysteresis, kWorkingCopy), 2);
  EXPECT_EQ(recent.GetRecentFile(1), target) << "the name before the save goes to the list";
  test::Choose(window.Panel()->cmbHysteresis, 0);
  const QString missing = Path("missing/x.RKT");
  ds.SetValue(ValueId::FileName, missing.toStdString());
  EXPECT_FALSE(window.Files().Save(false));
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{test::MessageRecorder::Numbered({21})[0] + "\n" +
                                                       missing.toStdString() + ": Datei oder Ordner nicht vorhanden"});
  EXPECT_TRUE(ds.IsChanged() && Label("lblTBChanged")->text() == "C") << "a failed save keeps the data marked changed";
  ds.SetValue(ValueId::Changed, false);
  EXPECT_FALSE(window.Files().Save(false));
  EXPECT_FALSE(ds.IsChanged() || !Label("lblTBChanged")->text().isEmpty()) << "unchanged data that fails to save stays unchanged";
  window.Files().Load(kSample);
  window.ShowSensitivity();
  window.Panel()->scrlSensitivity->setValue(kSensitivityMax);  // the bar counts, not the stored value
  ChooseInNextFileDialog("sheet.TXT");
  window.Files().PrintOrExport(true, false);
  const QString text = QString::fromLatin1(test::Bytes(Path("sheet.TXT")));
  EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("Empfindlichkeit: +100%")))) << text.toStdString();
  test::OnNext<QFileDialog>([&](QFileDialog* d) {
    d->selectNameFilter(d->nameFilters().at(1));
    emit d->filterSelected(d->nameFilters().at(1));
    EXPECT_EQ(d->defaultSuffix(), QStringLiteral("CSV"));
    TypeAndAccept(d, dir.path(), QStringLiteral("sheet"));
  });
  window.Files().PrintOrExport(true, false);
  EXPECT_TRUE(QFileInfo::exists(Path("sheet.CSV")) && window.StatusMessage() == QStringLiteral("Exportiert: sheet.CSV"));
  // Printing asks for a description first; without a printer it writes a PDF.
  window.Files().SetPrinterCheck([] { return false; });
  ds.SetValue(ValueId::Comment, std::string());
  bool askedForDescription = false;
  test::OnNext([&](QDialog* d) {
    askedForDescription = qobject_cast<frmPrintComment*>(d) != nullptr;
    d->reject();
  });
  window.ClickToolbarButton(2);  // the folder holds bad.RKT, job.RKT, sheet.TXT and sheet.CSV
  EXPECT_TRUE(askedForDescription && QDir(dir.path()).entryList(QDir::Files).size() == 4) << "no description, no sheet";
  ds.SetValue(ValueId::Comment, std::string("Halle 3"));
  ChooseInNextFileDialog("sheet");
  window.ClickToolbarButton(2);
  EXPECT_TRUE(test::Bytes(Path("sheet.pdf")).startsWith("%PDF")) << "the name gets .pdf";
  ChooseInNextFileDialog("menu");
  window.Action("mnPrint")->trigger();
  EXPECT_TRUE(test::Bytes(Path("menu.pdf")).startsWith("%PDF")) << "the menu's print, too, writes a PDF without a printer";
}

TEST_F(MainWindowFixture, ToolbarCommandDoesNotStartTwiceAndClosingWithChangesCanBeCancelled) {
  int started = 0;
  QObject::connect(&window, &frmMain::SensorCommandRequested, [&](SensorCommand c) {
    if (c != SensorCommand::Read) return;
    ++started;
    window.ClickToolbarButton(5);  // a second click while the first command still runs
  });
  window.ClickToolbarButton(5);
  EXPECT_EQ(started, 1);
  window.ClickToolbarButton(4);  // disabled: write needs data
  EXPECT_FALSE(window.ToolbarBusy());
  window.show();
  ds.SetValue(ValueId::Changed, true);
  bool shutdown = false;
  window.SetShutdown([&] { shutdown = true; });
  test::OnNext<frmChanged>([](frmChanged* d) { d->btCancel->click(); });
  EXPECT_FALSE(window.close() || !window.isVisible() || shutdown);
  test::OnNext<frmChanged>([](frmChanged* d) { d->btYes->click(); });
  EXPECT_TRUE(window.close() && shutdown);
}

// The real file dialog: a bare name is found, and replacing asks first.
TEST_F(MainWindowFixture, FileDialogsFindABareNameAndAskBeforeReplacing) {
  ASSERT_TRUE(QFile::copy(kSample, Path("job.RKT")));
  ChooseInNextFileDialog("job");
  window.Files().Load({});
  EXPECT_EQ(std::tuple(QString::fromStdString(ds.FileName()), ds.DataValid()), std::tuple(Path("job.RKT"), 1));
  const QByteArray before = test::Bytes(Path("job.RKT"));
  test::Choose(window.Panel()->cmbHysteresis, 2);
  QString question;
  test::OnNext<QFileDialog>([&](QFileDialog* d) {
    EXPECT_EQ(d->defaultSuffix(), QStringLiteral("RKT"));
    test::OnNext<QMessageBox>([&](QMessageBox* box) {
      question = box->text();
      box->button(QMessageBox::No)->click();
      d->reject();  // the user thinks again
    });
    TypeAndAccept(d, dir.path(), QStringLiteral("job"));
  });
  EXPECT_FALSE(window.Files().Save(true));
  EXPECT_TRUE(question.contains(QStringLiteral("job.RKT"))) << question.toStdString();
  EXPECT_EQ(test::Bytes(Path("job.RKT")), before) << "nothing replaced without a yes";
  // A dot in the typed name: the dialog adds no suffix, so the check is on the name really written.
  ASSERT_TRUE(QFile::copy(kSample, Path("Kunde.Mueller.RKT")) && test::WriteFile(Path("Bericht.v2.pdf"), "old"));
  ds.SetValue(ValueId::Changed, false);
  ChooseInNextFileDialog("Kunde.Mueller");
  window.Files().Load({});
  EXPECT_EQ(QString::fromStdString(ds.FileName()), Path("Kunde.Mueller.RKT")) << "found without its suffix";
  test::Choose(window.Panel()->cmbHysteresis, 2);
  window.Files().SetPrinterCheck([] { return false; });
  const auto ask = [&](const char* typed, bool replace) {
    question.clear();
    test::OnNext<QFileDialog>([&, typed, replace](QFileDialog* d) {
      test::OnNext<QMessageBox>([&, replace](QMessageBox* box) {
        question = box->text();
        if (!replace) test::OnNext<QFileDialog>([](QFileDialog* again) { again->reject(); });
        box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
      });
      // Accepted without Return: the name completer must not pick the existing file.
      d->setDirectory(dir.path());
      d->selectFile(QString::fromUtf8(typed));  // no file of the list stays selected
      d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromUtf8(typed));
      QMetaObject::invokeMethod(d, "accept");
    });
  };
  const QByteArray kept = test::Bytes(Path("Kunde.Mueller.RKT"));
  ask("Kunde.Mueller", false);
  EXPECT_FALSE(window.Files().Save(true));
  EXPECT_TRUE(question.contains(QStringLiteral("Kunde.Mueller.RKT")) && test::Bytes(Path("Kunde.Mueller.RKT")) == kept);
  ask("Kunde.Mueller", true);
  EXPECT_TRUE(window.Files().Save(true));
  EXPECT_NE(test::Bytes(Path("Kunde.Mueller.RKT")), kept) << "replaced after a yes";
  ask("Bericht.v2", false);
  window.ClickToolbarButton(2);
  EXPECT_TRUE(question.contains(QStringLiteral("Bericht.v2.pdf")) && test::Bytes(Path("Bericht.v2.pdf")) == "old");
  // A byte beyond the sensitivity scale: panel, overview and export say the same, and nothing rewrites it.
  window.Files().Load(kSample);
  ds.Param(kWorkingCopy, param::kSensitivity) = ds.Param(kReadCopy, param::kSensitivity) = 205;
  window.ShowSensitivity();
  window.RefreshOverview();
  ChooseInNextFileDialog("high.TXT");
  window.Files().PrintOrExport(true, false);
  EXPECT_TRUE(QString::fromLatin1(test::Bytes(Path("high.TXT"))).contains(QRegularExpression(QStringLiteral("Empfindlichkeit: +100%"))));
  QStringList rows;
  for (const QLabel* row : window.Overview()->lblBL)
    if (row->text().startsWith(QStringLiteral("Empfindlichkeit"))) rows << row->text();
  EXPECT_EQ(rows, QStringList{window.Panel()->lblSensitivity->text().prepend("Empfindlichkeit: ")});
  EXPECT_EQ(window.Panel()->lblSensitivity->text(), QStringLiteral("100%"));
  EXPECT_EQ(ds.Param(kWorkingCopy, param::kSensitivity), 205) << "exporting changed no data";
}

// The texts a user sees in a window, value labels and the language list aside.
void AddTexts(QWidget* root, QStringList& out) {
  static const QRegularExpression kData(QStringLiteral("^lb[A-Z]|^cmbLanguage$"));
  for (QWidget* w : root->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(root) || qobject_cast<QMenu*>(w) || w->objectName().contains(kData)) continue;
    if (auto* label = qobject_cast<QLabel*>(w)) out << label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) out << button->text();
    if (auto* box = qobject_cast<QGroupBox*>(w)) out << box->title();
    if (auto* combo = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < combo->count(); ++i) out << combo->itemText(i);
  }
}

// The texts of every other language (German's built in, the others' files) that the current language does not use
// itself, as a screen reader would get them: a control named by one of them speaks another language.
std::set<QString> ForeignTexts() {
  std::set<QString> own, other;
  const auto& languages = Languages();
  for (const TextKey& k : AllTextKeys()) {
    own.insert(AccessibleText(UiText(k.section, k.key)));
    for (std::size_t i = 0; i < languages.size(); ++i) {
      if (static_cast<int>(i) == CurrentLanguageIndex()) continue;
      const std::string text = languages[i].path.empty() ? std::string(k.germanText)
                                                          : ReadIniValue(languages[i].path, k.section, k.key, k.germanText);
      other.insert(AccessibleText(QString::fromStdString(text)));
    }
  }
  for (const QString& text : own) other.erase(text);
  other.erase(QString());
  return other;
}

std::string AccessibleName(QWidget* control) {
  return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).toStdString();
}

// Every focusable control and every button of the window as the accessibility tree reaches it: a name with words,
// not its objectName, and not a text of another language. Table cells and list items are data, not controls.
// A control with a label (its buddy) is named by the label; a button carries its own text.
void ExpectNamedControls(QWidget* window, const std::string& where, const std::set<QString>& foreign) {
  for (QLabel* label : window->findChildren<QLabel*>()) {
    if (QWidget* buddy = label->buddy(); buddy && buddy->isVisibleTo(window) && !qobject_cast<QAbstractButton*>(buddy)) {
      EXPECT_EQ(AccessibleName(buddy), AccessibleText(label->text()).toStdString())
          << where << ": " << buddy->objectName().toStdString();
    }
  }
  std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* control) {
    if (control == nullptr) return;
    auto* widget = qobject_cast<QWidget*>(control->object());
    if (widget != nullptr && widget != window && !widget->isVisibleTo(window)) return;
    const QString name = control->text(QAccessible::Name), id = widget ? widget->objectName() : QString();
    const QAccessible::Role role = control->role();
    if (control->state().focusable || role == QAccessible::Button || role == QAccessible::CheckBox ||
        role == QAccessible::RadioButton) {
      static const QRegularExpression kLetter(QStringLiteral("\\p{L}"));  // a picture's symbol says nothing
      EXPECT_FALSE(!name.contains(kLetter) || name == id || foreign.count(name))
          << where << ": " << (widget ? widget->metaObject()->className() : "?") << " \"" << id.toStdString()
          << "\" is named \"" << name.toStdString() << "\"";
    }
    if (role == QAccessible::Table || role == QAccessible::List || role == QAccessible::Tree) return;
    for (int i = 0; i < control->childCount(); ++i) walk(control->child(i));
  };
  walk(QAccessible::queryAccessibleInterface(window));
}

// The main window, its menus and every dialog in the current language: access keys unique within each, and every
// control named for a screen reader in that language.
void ExpectLanguageShown(frmMain& window, DataSet& ds, history::HistoryDb& db, const std::string& language) {
  test::FakeOptions options;
  const std::set<QString> foreign = ForeignTexts();
  std::map<QString, QStringList> groups;
  AddTexts(&window, groups["frmMain"]);
  ExpectNamedControls(&window, language + ", frmMain", foreign);
  for (QAction* top : window.menuBar()->actions()) {
    groups["menubar"] << top->text();
    for (QAction* a : top->menu() ? top->menu()->actions() : QList<QAction*>())
      if (a->isVisible() && !a->isSeparator()) groups[top->objectName()] << a->text();
  }
  const std::unique_ptr<QDialog> dialogs[] = {
      std::make_unique<frmOptions>(options, &window), std::make_unique<frmDataCode>(ds, &window),
      std::make_unique<frmPrintComment>(ds, &window), std::make_unique<frmSensorInfo>(ds, &window),
      std::make_unique<frmChanged>(false, &window),   std::make_unique<frmChanged>(true, &window),
      std::make_unique<frmAbout>(true, &window),      std::make_unique<frmRWState>(&window),
      std::make_unique<frmHistory>(db, &window),
      std::make_unique<frmStation>(test::IdleStation(), ds, &window),
      std::make_unique<frmWritePreview>(std::vector<ValueChange>{{"Hysterese:", "standard", "groß", {}}}, &window)};
  for (const auto& d : dialogs) {
    AddTexts(d.get(), groups[d->objectName() + QString::number(&d - dialogs)]);
    ExpectNamedControls(d.get(), language + ", " + d->objectName().toStdString(), foreign);
  }
  HelpWindow help;
  help.ShowPage(HelpPageUrl(CurrentHelpFile(), 0, {}), CurrentHelpFile());
  ExpectNamedControls(&help, language + ", frmHelp", foreign);
  // The message boxes with every button they may carry; Escape closes each.
  QtMessagePresenter boxes;
  for (const int buttons : {msg::kYesNoCancel, msg::kRetryCancel}) {
    bool seen = false;
    test::OnNext<QMessageBox>([&](QMessageBox* box) {
      seen = true;
      for (QAbstractButton* b : box->buttons()) groups["frmMessage" + QString::number(buttons)] << b->text();
      ExpectNamedControls(box, language + ", frmMessage", foreign);
      QTest::keyClick(box, Qt::Key_Escape);
    });
    boxes.Present(BuildMessage(msg::kTypeChanged, buttons, help::kTypeChanged));
    EXPECT_TRUE(seen) << language;
  }
  // The overview is read as text: each row a static text named by what it shows, label and value in the language.
  int rows = 0;
  for (QLabel* row : window.Overview()->lblBL) {
    if (!row->isVisibleTo(&window) || row->text().isEmpty()) continue;
    ++rows;
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(row);
    EXPECT_EQ(std::pair(a->role(), a->text(QAccessible::Name)), std::pair(QAccessible::StaticText, row->text()));
    for (const QString& part : row->text().split(QStringLiteral(": ")))
      EXPECT_FALSE(foreign.count(part.trimmed())) << language << ", overview: " << row->text().toStdString();
  }
  EXPECT_GE(rows, 5) << language;
  static const QRegularExpression kKey(QStringLiteral("&([^&])"));
  for (const auto& [group, texts] : groups) {
    std::map<QString, QString> seen;
    for (const QString& text : texts)
      if (const auto m = kKey.match(QString(text).remove(QStringLiteral("&&"))); m.hasMatch()) {
        const auto [it, fresh] = seen.emplace(m.captured(1).toLower(), text);
        EXPECT_TRUE(fresh) << language << ", " << group.toStdString() << ": \"" << text.toStdString() << "\" and \""
                           << it->second.toStdString() << "\" share an access key";
      }
  }
  // Controls labelled otherwise than by a buddy: a group's title, the check box above, the tooltip of a picture.
  const ParameterPanel& p = *window.Panel();
  std::vector<std::tuple<QWidget*, QString, QString>> labelled = {
      {p.cmbInput, p.frameInput->title(), {}},           {p.cmbOutput, p.frameOutput->title(), {}},
      {p.scrlSensitivity, p.frameSensitivity->title(), {}}, {p.spnSensitivity, p.frameSensitivity->title(), {}},
      {p.scrlEinschalt, p.chkTimefunction1->text(), {}}, {p.spnEinschalt, p.chkTimefunction1->text(), {}},
      {p.scrlAusgang, p.chkTimefunction2->text(), {}},   {p.spnAusgang, p.chkTimefunction2->text(), {}},
      {window.SensorFindButton(), window.SensorFindButton()->toolTip(), {}}};
  for (int i = 0; i < kToolbarButtonCount; ++i) {
    QAction* a = window.ToolbarAction(i);
    labelled.emplace_back(window.findChild<QToolBar*>()->widgetForAction(a), a->toolTip(), a->objectName());
  }
  for (const auto& [control, label, id] : labelled)
    EXPECT_EQ(AccessibleName(control), AccessibleText(label).toStdString())
        << language << ": " << (id.isEmpty() ? control->objectName() : id).toStdString();
  // The options of the second time function choose one or none, as radio buttons do, and say so.
  for (QRadioButton* rd : p.rdTimefunction2)
    EXPECT_EQ(QAccessible::queryAccessibleInterface(rd)->role(), QAccessible::RadioButton) << rd->objectName().toStdString();
}

// One window through German, each shipped language and back: the texts it shows and the names a screen reader
// gets follow every switch; the dialogs, the help window and the message boxes in each language too.
TEST(ShippedLanguages, AccessKeysAreUniqueAndEveryControlIsNamedInTheLanguage) {
  FindLanguages({std::filesystem::path(RKT_SOURCE_DIR) / "resources"});
  ASSERT_EQ(LanguageCount(), 7) << "German and six files are shipped";
  QTemporaryDir dir;
  history::HistoryDb db(dir.filePath(QStringLiteral("history.sqlite")));
  DataSet ds;
  RecentFiles recent;
  frmMain window{ds, recent};
  ds.SetRecentFiles(&recent);
  window.SetLanguageIndexSource([] { return CurrentLanguageIndex(); });
  window.Files().Load(kSample);
  std::vector<int> order{0};
  for (int index = 1; index < LanguageCount(); ++index) order.push_back(index);
  order.push_back(0);
  for (const int index : order) {
    SelectLanguage(index);
    window.LoadMainTexts();
    ExpectLanguageShown(window, ds, db, index == 0 ? std::string("Deutsch") : GetLanguageName(index));
  }
  FindLanguages({});
  LoadQtTranslations();
}

// Sensor → Verlauf: filtered by serial, the changed values, and "Wiederherstellen" as a data code would.
TEST_F(MainWindowFixture, HistoryListsFiltersAndRestoresTheSettingBefore) {
  history::HistoryDb db(Path("history.sqlite"));
  DataSet sample;
  ASSERT_EQ(LoadParameterFile(sample, kSample.toStdString()), LoadStatus::Ok);
  const auto record = [&](int serial, int time2Before) {
    DataSet before = sample;
    before.SetValue(ValueId::TimeValue2, time2Before);
    DataSet::Block id = before.GetBlock(BlockId::Identification, kWorkingCopy);
    id[ident::kSerialHigh] = 0;
    id[ident::kSerialLow] = static_cast<std::uint8_t>(serial);
    db.Complete(db.Begin({"/dev/ttyS0", id, before.GetBlock(BlockId::Parameter, kWorkingCopy), id,
                          sample.GetBlock(BlockId::Parameter, kWorkingCopy), EncodeDataCode(before), EncodeDataCode(sample)}),
                link::WriteResult::Done, 0);
    return EncodeDataCode(before);
  };
  record(11, 50);
  const std::string wanted = record(22, 70);
  record(11, 90);
  window.SetHistory(&db);
  test::OnNext<frmHistory>([&](frmHistory* h) {
    EXPECT_EQ(std::tuple(h->tblRecords->rowCount(), h->cmbSerial->count()), std::tuple(3, 3)) << "all, 00011, 00022";
    h->cmbSerial->setCurrentIndex(h->cmbSerial->findText(QStringLiteral("00022")));
    ASSERT_EQ(h->tblRecords->rowCount(), 1);
    EXPECT_EQ(h->tblRecords->item(0, 2)->text() + h->tblRecords->item(0, 4)->text(), QStringLiteral("00022ausgeführt"));
    ASSERT_EQ(h->tblChanges->rowCount(), 1) << "only the second time changed";
    EXPECT_EQ(h->tblChanges->item(0, 0)->text(), QStringLiteral("Ausschaltzeit:"));
    h->btRestore->click();
  });
  window.Action("mnHistory")->trigger();
  EXPECT_EQ(EncodeDataCode(ds), wanted) << "the working copy holds the setting before that write";
  EXPECT_EQ(ds.GetString(ValueId::TypeName, kWorkingCopy).substr(0, 10), "<DATACODE>");
  EXPECT_TRUE(Enabled("mnSensorWrite") && Label("lblFilename")->isHidden() && !window.SensitivityAvailable());
}

// A failed check marks what did not take (or says that it is not known); an interrupted write is told once at start
// and shown on Yes; a restored record brings back the sensor's designation and says which record it was.
TEST_F(MainWindowFixture, HistoryMarksValuesNotTakenTellsAnInterruptedWriteOnceAndRestoresTheDesignation) {
  test::MessageRecorder messages;
  history::HistoryDb db(Path("history.sqlite"));
  DataSet sample;
  ASSERT_EQ(LoadParameterFile(sample, kSample.toStdString()), LoadStatus::Ok);
  DataSet::Block id = sample.GetBlock(BlockId::Identification, kWorkingCopy);
  id[ident::kSerialHigh] = 0;
  id[ident::kSerialLow] = 33;
  DataSet before = sample;
  before.SetValue(ValueId::Hysteresis, 0);
  before.SetValue(ValueId::TimeValue2, 70);
  link::WriteRecord record{"/dev/ttyS0", id, before.GetBlock(BlockId::Parameter, kWorkingCopy), id,
                           sample.GetBlock(BlockId::Parameter, kWorkingCopy), EncodeDataCode(before), EncodeDataCode(sample)};
  for (std::size_t i = 0; i < 3; ++i) record.names[i] = sample.GetBlock(static_cast<BlockId>(static_cast<int>(BlockId::Name1) + i), kWorkingCopy);
  const std::int64_t checked = db.Begin(record);  // the sensor kept its old second time
  DataSet::Block held = record.paramsAfter;
  held[param::kTimeValue2] = before.Param(kWorkingCopy, param::kTimeValue2);
  ASSERT_TRUE(db.RecordHeld(checked, held) && db.Complete(checked, link::WriteResult::VerifyFailed, 1040));
  const std::int64_t older = db.Begin(record);  // an older program kept only what was meant
  db.Complete(older, link::WriteResult::VerifyFailed, 1040);
  const std::int64_t interrupted = db.Begin(record);
  db.Complete(db.Begin(record), link::WriteResult::Done, 0);  // the newest record, yet not the one told
  window.SetHistory(&db);
  struct Shown { std::int64_t id; QString note, heldColumn; bool heldHidden; int marked; };
  std::vector<Shown> shown;
  test::OnNext<frmHistory>([&](frmHistory* h) {
    const auto look = [&](std::int64_t recordId) {
      h->SelectRecord(recordId);
      Shown s{recordId, h->lblNote->isHidden() ? QString() : h->lblNote->text(), {}, h->tblChanges->isColumnHidden(3), 0};
      for (int r = 0; r < h->tblChanges->rowCount(); ++r) {
        s.heldColumn += h->tblChanges->item(r, 0)->text() + h->tblChanges->item(r, 3)->text() + ";";
        s.marked += h->tblChanges->item(r, 3)->toolTip() == QStringLiteral("nicht übernommen");
      }
      shown.push_back(s);
    };
    shown.push_back({h->tblRecords->currentRow() == 1 ? interrupted : 0, h->lblNote->text(), {}, false, 0});
    look(checked);
    look(older);
    h->SelectRecord(checked);
    h->btRestore->click();
  });
  messages.answer = msg::kYes;
  window.Files().ReportInterruptedWrite();
  ASSERT_EQ(messages.shown.size(), 1u);
  const MessageBoxRequest& told = messages.shown[0];
  EXPECT_EQ(std::tuple(told.buttons, told.title), std::tuple(int{msg::kYesNo}, std::string("RKT410 Meldung")));
  EXPECT_TRUE(QString::fromStdString(told.text).startsWith("Ein Schreibvorgang wurde nicht beendet: RKT 410-DL/2, "
                                                           "Seriennummer 00033, begonnen 20")) << told.text;
  ASSERT_EQ(shown.size(), 3u) << "Yes shows the history";
  EXPECT_EQ(std::tuple(shown[0].id, shown[0].note), std::tuple(interrupted, UiText("frmHistory", "lblInterrupted")))
      << "with the interrupted record chosen";
  const QString hyst = QStringLiteral("Hysterese:"), time2 = QStringLiteral("Ausschaltzeit:");
  const std::string kept = db.Get(checked)->codeKept;
  DataSet keptSetting;
  ASSERT_TRUE(ApplyDataCode(keptSetting, kept)) << kept;
  EXPECT_EQ(keptSetting.Param(kWorkingCopy, param::kTimeValue2), held[param::kTimeValue2]) << "the code of what it kept";
  EXPECT_EQ(std::tuple(shown[1].heldHidden, shown[1].marked, shown[1].note),
            std::tuple(false, 1, QStringLiteral("Der Sensor hat die markierten Werte nicht übernommen.\n"
                                                "Datencode im Sensor nach der Prüfung: ") + QString::fromStdString(kept)));
  EXPECT_EQ(shown[1].heldColumn, hyst + QStringLiteral("standard;") + time2 + QStringLiteral("Impulsverlängerung 70 ms;"))
      << "the hysteresis took, the second time did not";
  EXPECT_EQ(std::tuple(shown[2].marked, shown[2].note), std::tuple(0, UiText("frmHistory", "lblHeldUnknown")));
  EXPECT_EQ(shown[2].heldColumn.count(QStringLiteral("nicht gespeichert")), 2) << shown[2].heldColumn.toStdString();
  // Restored: the setting before, under the sensor's own designation, and the status bar says which.
  EXPECT_EQ(EncodeDataCode(ds), record.codeBefore);
  EXPECT_EQ(window.SensorFrame()->title(), QStringLiteral("RKT 410-DL/2"));
  EXPECT_TRUE(window.StatusMessage().startsWith("Wiederhergestellt: Einstellung vor dem Schreiben vom 20") &&
              window.StatusMessage().endsWith(", RKT 410-DL/2, Seriennummer 00033"))
      << window.StatusMessage().toStdString();
  window.Files().ReportInterruptedWrite();
  history::HistoryDb reopened(Path("history.sqlite"));
  window.SetHistory(&reopened);
  window.Files().ReportInterruptedWrite();
  EXPECT_EQ(messages.shown.size(), 1u) << "told once, also after a restart";
}

// The tooltip the pointer resting on the button brings up, "" when none.
QString TooltipAfterRest(QWidget* button) {
  const QPoint pos = button->rect().center();
  QHelpEvent help(QEvent::ToolTip, pos, button->mapToGlobal(pos));
  QApplication::sendEvent(button, &help);
  return QToolTip::isVisible() ? QToolTip::text() : QString();
}

TEST(TooltipSwitch, OffSuppressesTooltipsAlsoOnButtonsAddedLater) {
  QToolBar bar;
  TooltipSwitch tooltips;
  tooltips.Watch(&bar);
  QAction* save = bar.addAction(ToolbarIcon(kButtonSave), "save");
  save->setToolTip(QString::fromStdString(ToolbarTooltip(kButtonSave)));
  bar.show();
  QWidget* saveButton = bar.widgetForAction(save);
  ASSERT_TRUE(saveButton);
  ASSERT_EQ(TooltipAfterRest(saveButton), "Sensordatensatz speichern") << "tooltips work on this platform";
  tooltips.SetEnabled(false);
  EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 5000)) << "switching off hides a shown tooltip";
  EXPECT_EQ(TooltipAfterRest(saveButton), "") << "button created after Watch";
  tooltips.SetEnabled(true);
  EXPECT_EQ(TooltipAfterRest(saveButton), "Sensordatensatz speichern");
  QToolTip::hideText();
}

}  // namespace
}  // namespace rkt
