#include "ui_test_support.h"
#include "history/history_db.h"
#include "text/help_window.h"
#include "text/language.h"
#include "text/message_box.h"
#include "text/text_keys.h"
#include "text/window_placement.h"
#include "ui/history_dialogs.h"

namespace rkt {
namespace {

TEST(DataChangedDialog, AsksOnlyForChangedDataAndRefusesTheCloseBox) {
  DataSet ds;
  EXPECT_FALSE(DataChanged(ds, true)) << "nothing changed: no question";
  ds.SetValue(ValueId::Changed, true);
  int shown = 0;
  for (const bool progexit : {true, false}) {
    test::OnNext<frmChanged>([&](frmChanged* d) {
      ++shown;
      EXPECT_EQ(d->lblText[0]->text(), QStringLiteral("Sie haben die Sensorparameter geändert."));
      EXPECT_TRUE(d->lblText[1]->isHidden() != progexit && d->lblText[2]->isHidden() == progexit);
      d->close();
      EXPECT_TRUE(d->isVisible()) << "the close box is refused";
      d->btYes->click();
    });
    EXPECT_FALSE(DataChanged(ds, progexit)) << "Yes: go on and discard";
  }
  EXPECT_EQ(shown, 2);
  test::OnNext<frmChanged>([](frmChanged* d) { d->btCancel->click(); });
  EXPECT_TRUE(DataChanged(ds, false)) << "Cancel: the caller must stop";
  test::OnNext([](QDialog* d) { QTest::keyClick(d, Qt::Key_Escape); });
  EXPECT_TRUE(DataChanged(ds, false)) << "Escape keeps the changes";
}

// OK stores a real edit as Windows-1252 with CRLF; without one the stored form stays; Cancel keeps it.
TEST(CommentDialog, OkStoresOnlyARealChange) {
  // Texts in UTF-8; nullptr: not checked, no edit.
  const struct { std::string stored; const char *shown, *replace, *append; bool ok; std::string expected; bool changed; } rows[] = {
      {"Halle 3\r\nGr\xfcn", "Halle 3\nGrün", nullptr, nullptr, true, "Halle 3\r\nGr\xfcn", false},
      {"Halle 3", nullptr, "neu", nullptr, false, "Halle 3", false},
      {"Halle 3", nullptr, "Zeile 1\nÄnderung", nullptr, true, "Zeile 1\r\n\xc4nderung", true},
      {"Halle\xa0" "3", nullptr, nullptr, nullptr, true, "Halle\xa0" "3", false},
      {"Halle\xa0" "3", nullptr, nullptr, "!", true, "Halle\xa0" "3!", true},  // the untouched no-break space stays
      {"Zeile 1\nZeile 2", nullptr, nullptr, nullptr, true, "Zeile 1\nZeile 2", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expected);
    DataSet ds;
    ds.SetValue(ValueId::Comment, row.stored);
    test::OnNext<frmPrintComment>([&](frmPrintComment* d) {
      if (row.shown) { EXPECT_EQ(d->txtComment->toPlainText(), QString::fromUtf8(row.shown)); }
      if (row.replace) d->txtComment->setPlainText(QString::fromUtf8(row.replace));
      d->txtComment->moveCursor(QTextCursor::End);
      if (row.append) d->txtComment->insertPlainText(QString::fromUtf8(row.append));
      (row.ok ? d->btOK : d->btCancel)->click();
    });
    const bool ok = GetComment(ds);
    EXPECT_EQ(std::tuple(ok, ds.Comment(), ds.IsCommentChanged(), ds.IsChanged()),
              std::tuple(row.ok, row.expected, row.changed, row.changed));
  }
}

TEST(DataCodeDialog, CodesAreCleanedUpAndCheckedBeforeUse) {
  DataSet ds, source;
  test::MessageRecorder messages;
  source.SetDataValid(1);
  test::SetIdent(source, 4, 2, 6);
  source.SetValue(ValueId::TimeValue1, 99);
  const QString code = QString::fromStdString(EncodeDataCode(source));
  frmDataCode dialog(ds);
  dialog.show();
  QApplication::clipboard()->setText(QStringLiteral("  ") + code.toLower() + QStringLiteral(" \n"));
  QTest::keyClick(dialog.txtCode, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(dialog.txtCode->text(), code) << "a pasted code is cleaned up";
  QTest::keyClicks(dialog.txtCode, QStringLiteral("7"));
  EXPECT_EQ(dialog.txtCode->text(), code) << "typing stops at 23 characters";
  QString wrong = code;
  wrong[0] = wrong[0] == QLatin1Char('1') ? QLatin1Char('2') : QLatin1Char('1');
  dialog.txtCode->setText(wrong);
  dialog.btOK->click();
  EXPECT_EQ(messages.Texts(), test::MessageRecorder::Numbered({34}));
  EXPECT_TRUE(dialog.isVisible() && ds.DataValid() == 0) << "an invalid code keeps the dialog open";
  bool applied = false;
  QObject::connect(&dialog, &frmDataCode::CodeApplied, [&] { applied = true; });
  // Blanks in place of the dashes, as codes are read aloud or copied from a sheet.
  QString spaced = code.toLower();
  for (const int at : {4, 9, 14, 19}) spaced[at] = at == 9 ? QChar(0x00A0) : QLatin1Char(' ');
  spaced.replace(14, 1, QStringLiteral("\t"));
  QApplication::clipboard()->setText(spaced);
  dialog.txtCode->selectAll();
  QTest::keyClick(dialog.txtCode, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(dialog.txtCode->text(), code) << "blanks between the groups are their dashes";
  dialog.txtCode->clear();
  QTest::keyClicks(dialog.txtCode, code.left(4) + QStringLiteral(" ") + code.mid(5, 4) + QStringLiteral("  "));
  EXPECT_EQ(dialog.txtCode->text(), code.left(10)) << "a typed blank where a dash belongs is that dash, others go";
  dialog.txtCode->setText(spaced);
  dialog.btOK->click();
  EXPECT_TRUE(applied && !dialog.isVisible());
  EXPECT_EQ(std::tuple(ds.GetInt(ValueId::TimeValue1, kWorkingCopy), TypeDesignation(ds, kWorkingCopy)), std::tuple(99, std::string("<DATACODE>")));
}

// Modal to the main window only; OK through the frame is pinned in the app tests.
TEST(OptionsDialog, OpensModalToTheMainWindowAndCancelKeepsOnlyTheLanguage) {
  QWidget main;
  SetMainWindow(&main);
  test::FakeOptions backend;
  frmOptions dialog(backend);
  main.show();
  bool seen = false;
  test::OnNext([&](QDialog* d) {
    seen = d == &dialog && d->windowModality() == Qt::WindowModal;
    EXPECT_EQ(dialog.lblTraceFile->text(), QStringLiteral("/tmp/trace.txt")) << "support needs to know where it goes";
    test::Choose(dialog.cmbLanguage, 1);
    dialog.chkSensor->setChecked(false);
    dialog.chkTooltips->setChecked(true);
    dialog.btCancel->click();
  });
  ShowFormModal(dialog);
  EXPECT_TRUE(seen);
  EXPECT_EQ(std::tuple(backend.language, backend.detection, backend.tooltips), std::tuple(1, 1, false)) << "Cancel keeps only the language";
  SetMainWindow(nullptr);
}

// The history database: the user's own file shown as the default; a server's address typed is taken with OK.
TEST(OptionsDialog, OkTakesTheHistoryDatabase) {
  test::FakeOptions backend;
  frmOptions dialog(backend);
  EXPECT_EQ(dialog.txtHistoryDb->text(), QString());
  EXPECT_EQ(dialog.txtHistoryDb->placeholderText(), QStringLiteral("/home/u/history.sqlite"));
  EXPECT_FALSE(dialog.lblHistoryDb->text().isEmpty());
  dialog.txtHistoryDb->setText(QStringLiteral(" postgresql://rkt@plant-db/plant "));
  dialog.btOK->click();
  EXPECT_EQ(backend.historyDb, QStringLiteral("postgresql://rkt@plant-db/plant"));
}

// Dialogs and message boxes are modal to their window only, so that the help they open comes to the front and takes input.
TEST(Help, UsableWhileADialogOrAMessageBoxIsModal) {
  QWidget main;
  QtHelpViewer viewer{{}};
  SetMainWindow(&main);
  SetHelpViewer(&viewer);
  main.show();
  test::FakeOptions backend;
  frmOptions options(backend);
  QtMessagePresenter boxes;
  const auto boxHelp = [](QDialog* d) -> QAbstractButton* {
    auto* box = qobject_cast<QMessageBox*>(d);
    for (QAbstractButton* b : box ? box->buttons() : QList<QAbstractButton*>())
      if (box->buttonRole(b) == QMessageBox::HelpRole) return b;
    return nullptr;
  };
  const struct { const char* what; std::function<void()> open; std::function<QAbstractButton*(QDialog*)> help; } rows[] = {
      {"options dialog", [&] { ShowFormModal(options); }, [&](QDialog*) { return options.btHelp; }},
      {"message box", [&] { boxes.Present(BuildMessage(msg::kNoSensor, msg::kRetryCancel, help::kNoSensor)); }, boxHelp}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    bool seen = false;
    test::OnNext([&](QDialog* d) {
      seen = d->windowModality() == Qt::WindowModal;
      [&] {  // the dialog is closed whatever fails here
        QAbstractButton* button = row.help(d);
        ASSERT_NE(button, nullptr);
        button->click();
        HelpWindow* help = viewer.Window();
        ASSERT_TRUE(help && QTest::qWaitForWindowActive(help, 10000)) << "the help comes to the front";
        EXPECT_NE(help->Browser()->source().fileName().toStdString(), "index.html") << "opened at the topic";
        QPushButton* contents = nullptr;
        for (QPushButton* b : help->findChildren<QPushButton*>())
          if (b->text() == QStringLiteral("\u2302")) contents = b;
        ASSERT_NE(contents, nullptr);
        // Clicked the way the window system delivers it: a window blocked by a modal one never sees it.
        QTest::mouseClick(help->windowHandle(), Qt::LeftButton, {}, contents->mapTo(help, contents->rect().center()));
        EXPECT_EQ(help->Browser()->source().fileName().toStdString(), "index.html") << "the help takes input";
      }();
      if (viewer.Window()) viewer.Window()->close();
      d->reject();
    });
    row.open();
    EXPECT_TRUE(seen);
  }
  SetHelpViewer(nullptr);
  SetMainWindow(nullptr);
}

// In each shipped language: the about box names the rights once, the options help describes every switch and the
// history database, the contents page the production station, and Qt's own dialogs speak the language (its Locale
// has Qt's translations).
TEST(ShippedTexts, AboutNamesTheRightsOnceTheOptionsHelpEverySwitchAndQtSpeaksTheLanguage) {
  FindLanguages({std::filesystem::path(RKT_SOURCE_DIR) / "resources"});
  EXPECT_EQ(LanguageCount(), 7);
  std::set<QString> qtCancel;
  for (int index = 0; index < LanguageCount(); ++index) {
    const std::string name = GetLanguageName(index);
    const char* language = name.c_str();
    SelectLanguage(index);
    EXPECT_TRUE(LoadQtTranslations()) << language << ": Qt's translations for " << LanguageLocale();
    qtCancel.insert(QCoreApplication::translate("QPlatformTheme", "Cancel"));
    frmAbout about(false);
    QString shown;
    for (const QLabel* label : about.findChildren<QLabel*>()) shown += label->text() + QLatin1Char('\n');
    const QString rights = QString::fromStdString(Text("frmAbout", "lblCopyright"));
    EXPECT_EQ(shown.count(rights), 1) << language << ": " << shown.toStdString();
    test::FakeOptions backend;
    frmOptions options(backend);
    QFile page(QLatin1Char(':') + HelpPageUrl(CurrentHelpFile(), help::kOptions, {}).path());
    ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << page.fileName().toStdString();
    const QString help = QString::fromUtf8(page.readAll());
    const QList<QCheckBox*> switches = options.findChildren<QCheckBox*>();
    EXPECT_GE(switches.size(), 5);
    for (const QCheckBox* box : switches)
      EXPECT_TRUE(help.contains(QString(box->text()).remove(QLatin1Char('&')))) << language << ": " << box->text().toStdString();
    EXPECT_TRUE(help.contains(options.frameSprache->title())) << language;
    // The history database by its label up to the bracketed example, the production station by its menu entry.
    const QString db = options.lblHistoryDb->text().remove(QLatin1Char('&')).section(QStringLiteral(" ("), 0, 0);
    EXPECT_TRUE(help.contains(db)) << language << ": " << db.toStdString();
    QFile contents(QLatin1Char(':') + HelpPageUrl(CurrentHelpFile(), help::kContents, {}).path());
    ASSERT_TRUE(contents.open(QIODevice::ReadOnly)) << contents.fileName().toStdString();
    const QString station =
        QString::fromStdString(Text("frmMain", "mnStation")).remove(QLatin1Char('&')).remove(QStringLiteral(" ..."));
    EXPECT_TRUE(QString::fromUtf8(contents.readAll()).contains(QStringLiteral("\u2192 ") + station))
        << language << ": " << station.toStdString();
  }
  EXPECT_EQ(qtCancel.size(), 7u) << "Qt's Cancel in seven languages";
  FindLanguages({});
  LoadQtTranslations();
}

}  // namespace
}  // namespace rkt

namespace rkt {
namespace {

// Tab from the first control round the dialog: the controls in reading order, and out of the tables again.
TEST(DialogKeyboard, TabFollowsTheReadingOrder) {
  QTemporaryDir dir;
  history::HistoryDb db(dir.filePath(QStringLiteral("history.sqlite")));
  link::WriteRecord write{.port = "/dev/ttyS0", .codeBefore = "", .codeAfter = ""};
  write.paramsAfter[3] = 1;
  db.Complete(db.Begin(write), link::WriteResult::Done, 0);  // a row in each table
  DataSet ds;
  test::FakeOptions options;
  const struct { std::function<QWidget*()> make; const char* order; } rows[] = {
      {[&] { return new frmDataCode(ds); }, "txtCode btOK btCancel btHelp"},
      {[&] { return new frmPrintComment(ds); }, "txtComment btOK btCancel btHelp"},
      {[&] { return new frmChanged(true); }, "btYes btCancel btHelp"},
      {[&] { return new HelpWindow; }, "btContents txtHelp"},  // back and forward wait for a page to go to
      {[&] { return new frmOptions(options); },
       "cmbPorts chkSensor chkTooltips chkOverview chkTrace chkPreview txtHistoryDb cmbLanguage btOK btCancel btHelp"},
      {[&] { return new frmHistory(db); }, "cmbSerial tblRecords tblChanges btRestore btClose"},
      {[&] { return new frmStation(test::IdleStation(), ds); }, "txtPorts chkLock btStart btClose"},
      {[&] { return new frmWritePreview({{"Hysterese:", "standard", "groß", {}}, {"Störfilterung:", "1 kHz", "50 Hz", {}}}); },
       "tblChanges btYes btNo"},
  };
  for (const auto& row : rows) {
    std::unique_ptr<QWidget> dialog(row.make());
    SCOPED_TRACE(dialog->objectName().toStdString());
    dialog->show();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    const QString order = QString::fromLatin1(row.order), first = order.section(QLatin1Char(' '), 0, 0);
    dialog->findChild<QWidget*>(first)->setFocus();
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 20 && (i == 0 || visited.back() != visited.front()); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited.join(QLatin1Char(' ')).toStdString(), (order + QLatin1Char(' ') + first).toStdString());
  }
}

}  // namespace
}  // namespace rkt
