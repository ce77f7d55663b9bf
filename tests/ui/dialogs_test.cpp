#include <gtest/gtest.h>

#include <QTextCursor>

#include <QCheckBox>
#include <QClipboard>
#include <QScreen>
#include <QTextBrowser>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "model/data_code.h"
#include "model/data_set.h"
#include "text/help_window.h"
#include "text/window_placement.h"
#include "ui/dialogs.h"
#include "ui_test_support.h"

namespace rkt {
namespace {

TEST(DataChangedDialog, AsksOnlyForChangedDataAndRefusesTheCloseBox) {
  DataSet ds;
  EXPECT_FALSE(DataChanged(ds, true)) << "nothing changed: no question";

  ds.SetValue(ValueId::Changed, true);
  for (const bool progexit : {true, false}) {
    bool checked = false;
    test::OnNextDialog([&](QDialog* d) {
      auto* dialog = qobject_cast<frmChanged*>(d);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->lblText[0]->text(), QStringLiteral("Sie haben die Sensorparameter geändert."));
      EXPECT_EQ(!dialog->lblText[1]->isHidden(), progexit);
      EXPECT_EQ(!dialog->lblText[2]->isHidden(), !progexit);
      dialog->close();
      EXPECT_TRUE(dialog->isVisible()) << "the close box is refused";
      checked = true;
      dialog->btYes->click();
    });
    EXPECT_FALSE(DataChanged(ds, progexit)) << "Yes: go on and discard";
    EXPECT_TRUE(checked);
  }
  test::OnNextDialog([](QDialog* d) { qobject_cast<frmChanged*>(d)->btCancel->click(); });
  EXPECT_TRUE(DataChanged(ds, false)) << "Cancel: the caller must stop";
  test::OnNextDialog([](QDialog* d) { QTest::keyClick(d, Qt::Key_Escape); });
  EXPECT_TRUE(DataChanged(ds, false)) << "Escape keeps the changes";
}

TEST(CommentDialog, OkStoresOnlyARealChange) {
  DataSet ds;
  ds.SetValue(ValueId::Comment, std::string("Halle 3\r\nGr\xfc" "n"));
  test::OnNextDialog([](QDialog* d) {
    auto* dialog = qobject_cast<frmPrintComment*>(d);
    EXPECT_EQ(dialog->txtComment->toPlainText(), QStringLiteral("Halle 3\nGrün"));
    dialog->btOK->click();
  });
  EXPECT_TRUE(GetComment(ds));
  EXPECT_FALSE(ds.IsChanged()) << "unchanged text sets no flags";
  EXPECT_FALSE(ds.IsCommentChanged());

  test::OnNextDialog([](QDialog* d) {
    auto* dialog = qobject_cast<frmPrintComment*>(d);
    dialog->txtComment->setPlainText(QStringLiteral("neu"));
    dialog->btCancel->click();
  });
  EXPECT_FALSE(GetComment(ds));
  EXPECT_EQ(ds.Comment(), "Halle 3\r\nGr\xfcn");

  test::OnNextDialog([](QDialog* d) {
    auto* dialog = qobject_cast<frmPrintComment*>(d);
    dialog->txtComment->setPlainText(QStringLiteral("Zeile 1\nÄnderung"));
    dialog->btOK->click();
  });
  EXPECT_TRUE(GetComment(ds));
  EXPECT_EQ(ds.Comment(), "Zeile 1\r\n\xc4nderung") << "stored with Windows line ends, in Windows-1252";
  EXPECT_TRUE(ds.IsCommentChanged());
  EXPECT_TRUE(ds.IsChanged());
}

// Comments from files hold what the box shows in its own form: no-break
// spaces, lone line feeds or carriage returns. OK without an edit keeps them.
TEST(CommentDialog, OkWithoutAnEditKeepsTheStoredForm) {
  const std::string rows[] = {
      "Halle\xa0" "3",         // no-break space
      "Zeile 1\nZeile 2",      // lone line feed
      "Zeile 1\rZeile 2",      // lone carriage return
      "Ende mit Umbruch\r\n",
      "  Leerzeichen  \t",
  };
  for (const std::string& comment : rows) {
    DataSet ds;
    ds.SetValue(ValueId::Comment, comment);
    test::OnNextDialog([](QDialog* d) { qobject_cast<frmPrintComment*>(d)->btOK->click(); });
    EXPECT_TRUE(GetComment(ds));
    EXPECT_EQ(ds.Comment(), comment);
    EXPECT_FALSE(ds.IsCommentChanged()) << comment;
    EXPECT_FALSE(ds.IsChanged()) << comment;
  }
  // A real edit keeps the no-break space the user did not touch.
  DataSet ds;
  ds.SetValue(ValueId::Comment, std::string("Halle\xa0" "3"));
  test::OnNextDialog([](QDialog* d) {
    auto* dialog = qobject_cast<frmPrintComment*>(d);
    dialog->txtComment->moveCursor(QTextCursor::End);
    dialog->txtComment->insertPlainText(QStringLiteral("!"));
    dialog->btOK->click();
  });
  EXPECT_TRUE(GetComment(ds));
  EXPECT_EQ(ds.Comment(), "Halle\xa0" "3!");
  EXPECT_TRUE(ds.IsCommentChanged());
}

TEST(ProgressDialog, BarStaysWithinItsRangeAndCancelIsSeenByTheNextStep) {
  frmRWState dialog;
  dialog.ShowForm(2, 30);
  EXPECT_EQ(dialog.gaugeBar->maximum(), 31);
  EXPECT_EQ(dialog.gaugeBar->value(), 1);
  EXPECT_FALSE(dialog.lblSensor[2]->isHidden());
  EXPECT_EQ(dialog.lblSensor[2]->text(), QStringLiteral("Sensor suchen."));
  for (int i = 0; i < 40; ++i) EXPECT_TRUE(dialog.IncBar());
  EXPECT_EQ(dialog.gaugeBar->value(), 31);
  EXPECT_TRUE(dialog.IncBar(-100));
  EXPECT_EQ(dialog.gaugeBar->value(), 0) << "never below the minimum";

  dialog.IncBar(5);
  dialog.btCancel->click();
  EXPECT_FALSE(dialog.IncBar());
  EXPECT_EQ(dialog.gaugeBar->value(), 6) << "the bar still advances on that call";
  dialog.close();
  EXPECT_TRUE(dialog.isVisible()) << "the close box only cancels";
  dialog.ShowForm(0, 80);
  EXPECT_TRUE(dialog.IncBar()) << "each ShowForm starts afresh";
  dialog.hide();
}

TEST(DataCodeDialog, TypedCodesAreUpperCasedAndCheckedBeforeUse) {
  DataSet ds;
  test::MessageRecorder messages;
  test::OnNextDialog([](QDialog* d) {
    auto* dialog = qobject_cast<frmDataCode*>(d);
    EXPECT_EQ(dialog->txtCode->text(), QString()) << "no data: no code";
    dialog->btOK->click();
  });
  frmDataCode empty(ds);
  EXPECT_EQ(ShowFormModal(empty), QDialog::Accepted);
  EXPECT_EQ(ds.DataValid(), 0);

  DataSet source;
  source.SetDataValid(1);
  test::SetIdent(source, 4, 2, 6);
  source.SetValue(ValueId::TimeValue1, 99);
  const QString code = QString::fromStdString(EncodeDataCode(source));

  frmDataCode dialog(ds);
  dialog.show();
  dialog.txtCode->clear();
  dialog.txtCode->setFocus();
  QTest::keyClicks(dialog.txtCode, code.toLower());
  EXPECT_EQ(dialog.txtCode->text(), code) << "typed letters arrive in upper case";

  QString wrong = code;
  wrong[0] = wrong[0] == QLatin1Char('1') ? QLatin1Char('2') : QLatin1Char('1');
  dialog.txtCode->setText(wrong);
  dialog.btOK->click();
  EXPECT_EQ(messages.Texts(), test::MessageRecorder::Numbered({34}));
  EXPECT_TRUE(dialog.isVisible()) << "an invalid code keeps the dialog open";
  EXPECT_EQ(ds.DataValid(), 0);

  bool applied = false;
  QObject::connect(&dialog, &frmDataCode::CodeApplied, [&] { applied = true; });
  dialog.txtCode->setText(code);
  dialog.btOK->click();
  EXPECT_TRUE(applied);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(ds.GetInt(ValueId::TimeValue1, kWorkingCopy), 99);
  EXPECT_EQ(TypeDesignation(ds, kWorkingCopy), "<DATACODE>");
}

TEST(SensorInfoDialog, ShowsTheWorkingCopy) {
  DataSet ds;
  ds.SetDataValid(1);
  ds.Byte(BlockId::Identification, kWorkingCopy, ident::kSerialLow) = 42;
  ds.Byte(BlockId::Identification, kWorkingCopy, ident::kManufacture1) = 7;
  ds.Byte(BlockId::Identification, kWorkingCopy, ident::kManufacture2) = 3;
  frmSensorInfo dialog(ds);
  EXPECT_EQ(dialog.lbNr->text(), QStringLiteral("00042"));
  EXPECT_EQ(dialog.lbJahr->text(), QStringLiteral("7/3"));
  EXPECT_EQ(dialog.lbCode->text().size(), 23);
  EXPECT_EQ(dialog.lbTyp1->text(), QString()) << "a short designation leaves the second line empty";
}

struct FakeOptions : OptionsBackend {
  int detection = 1;
  bool tooltips = false;
  QString port = QStringLiteral("/dev/ttyUSB0");
  int language = 0;
  int overview = 1;
  QStringList opened;
  int Detection() const override { return detection; }
  void SetDetection(int m) override { detection = m; }
  bool Tooltips() const override { return tooltips; }
  void SetTooltips(bool on) override { tooltips = on; }
  QStringList Ports() const override { return {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyUSB0")}; }
  QString CurrentPort() const override { return port; }
  void OpenPort(const QString& name) override { opened << name; }
  QStringList Languages() const override { return {QStringLiteral("Deutsch"), QStringLiteral("English")}; }
  int CurrentLanguage() const override { return language; }
  void SelectLanguage(int index) override { language = index; }
  int OverviewShown() const override { return overview; }
  void SetOverviewShown(int shown) override { overview = shown; }
  bool Trace() const override { return trace; }
  void SetTrace(bool on) override { trace = on; }
  QString TraceFile() const override { return QStringLiteral("/tmp/trace.txt"); }
  bool WritePreview() const override { return preview; }
  void SetWritePreview(bool on) override { preview = on; }
  bool trace = false;
  bool preview = true;
};

TEST(OptionsDialog, OkAppliesEverythingCancelOnlyTheLanguage) {
  FakeOptions backend;
  {
    frmOptions dialog(backend);
    EXPECT_EQ(dialog.cmbPorts->currentText(), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_TRUE(dialog.chkSensor->isChecked());
    dialog.chkTooltips->setChecked(true);
    dialog.chkOverview->setChecked(false);
    dialog.cmbPorts->setCurrentIndex(0);
    EXPECT_EQ(dialog.lblTraceFile->text(), QStringLiteral("/tmp/trace.txt")) << "support needs to know where it goes";
    dialog.chkTrace->setChecked(true);
    EXPECT_TRUE(dialog.chkPreview->isChecked());
    EXPECT_EQ(dialog.chkPreview->text(), QStringLiteral("Änderungen vor dem Schreiben anzeigen"));
    dialog.chkPreview->setChecked(false);
    dialog.btOK->click();
  }
  EXPECT_TRUE(backend.trace);
  EXPECT_FALSE(backend.preview) << "production switches the preview off";
  EXPECT_TRUE(backend.tooltips);
  EXPECT_EQ(backend.overview, 0);
  EXPECT_EQ(backend.opened, QStringList{QStringLiteral("/dev/ttyS0")});
  {
    frmOptions dialog(backend);
    dialog.cmbLanguage->setCurrentIndex(1);
    emit dialog.cmbLanguage->activated(1);
    dialog.chkSensor->setChecked(false);
    dialog.btCancel->click();
  }
  EXPECT_EQ(backend.language, 1) << "a chosen language stays even after Cancel";
  EXPECT_EQ(backend.detection, 1);
}

TEST(AboutDialog, VersionMarksTheEchoMode) {
  frmAbout echo(true);
  EXPECT_TRUE(echo.lblVersionNum->text().endsWith(QLatin1Char('e')));
  frmAbout plain(false);
  EXPECT_FALSE(plain.lblVersionNum->text().endsWith(QLatin1Char('e')));
}

TEST(DataCodeDialog, PastedCodesLoseTheirBlanksAndTakeUpperCase) {
  DataSet source;
  source.SetDataValid(1);
  test::SetIdent(source, 4, 2, 6);
  const QString code = QString::fromStdString(EncodeDataCode(source));
  DataSet ds;
  frmDataCode dialog(ds);
  dialog.show();
  dialog.txtCode->setFocus();
  const struct {
    QString clip;
    QString expected;
  } rows[] = {
      {QStringLiteral("  ") + code.toLower() + QStringLiteral(" \n"), code},
      {QStringLiteral("\t") + code + QStringLiteral("   "), code},
      {code + QStringLiteral("XYZ"), QString()},  // too long even without blanks: refused
  };
  for (const auto& row : rows) {
    dialog.txtCode->clear();
    QApplication::clipboard()->setText(row.clip);
    QTest::keyClick(dialog.txtCode, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(dialog.txtCode->text(), row.expected) << row.clip.toStdString();
  }
  // Typing stops at 23 characters, as before.
  dialog.txtCode->setText(code);
  dialog.txtCode->end(false);
  QTest::keyClicks(dialog.txtCode, QStringLiteral("7"));
  EXPECT_EQ(dialog.txtCode->text(), code);
}

// The dialogs with a Help button, each shown as the main window shows it.
struct HelpInFront : ::testing::Test {
  QWidget main;
  QtHelpViewer viewer{{}};
  DataSet ds;
  HelpInFront() {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    main.setGeometry(area.left() + 40, area.top() + 40, 500, 360);
    main.show();
    SetMainWindow(&main);
    SetHelpViewer(&viewer);
  }
  ~HelpInFront() override {
    SetHelpViewer(nullptr);
    SetMainWindow(nullptr);
  }
  // Opens the help from the dialog's Help button and uses it with a mouse
  // click while the dialog is still open.
  void CheckHelp(QDialog& dialog) {
    bool checked = false;
    test::OnNextDialog([&](QDialog* d) {
      EXPECT_EQ(d, &dialog);
      EXPECT_EQ(d->windowModality(), Qt::WindowModal) << "modal to its window, not to the program";
      d->findChild<QPushButton*>(QStringLiteral("btHelp"))->click();
      HelpWindow* help = viewer.Window();
      ASSERT_NE(help, nullptr);
      EXPECT_TRUE(help->isVisible());
      EXPECT_TRUE(QTest::qWaitForWindowActive(help, 10000)) << "the help comes to the front";
      // The contents button, clicked the way the window system delivers it:
      // a window blocked by a modal dialog never sees the click.
      QPushButton* contents = nullptr;
      for (QPushButton* b : help->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("\u2302")) contents = b;
      ASSERT_NE(contents, nullptr);
      const QString topic = help->Browser()->source().fileName();
      EXPECT_NE(topic, QStringLiteral("index.html"));
      QTest::mouseClick(help->windowHandle(), Qt::LeftButton, {}, contents->mapTo(help, contents->rect().center()));
      EXPECT_EQ(help->Browser()->source().fileName(), QStringLiteral("index.html")) << "the help takes input";
      EXPECT_TRUE(d->isVisible());
      help->close();
      checked = true;
      d->reject();
    });
    ShowFormModal(dialog);
    EXPECT_TRUE(checked);
  }
};

TEST_F(HelpInFront, OptionsDialog) {
  FakeOptions backend;
  frmOptions dialog(backend, &main);
  CheckHelp(dialog);
}

TEST_F(HelpInFront, DataCodeDialog) {
  frmDataCode dialog(ds, &main);
  CheckHelp(dialog);
}

TEST_F(HelpInFront, CommentDialog) {
  frmPrintComment dialog(ds, &main);
  CheckHelp(dialog);
}

TEST(Dialogs, OpenCentredOverTheMainWindowAndInsideTheScreen) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  QWidget main;
  DataSet ds;
  FakeOptions backend;
  // Near the bottom edge, where a dialog centred over it would hang off the screen.
  for (const QRect where : {QRect(area.left() + 100, area.top() + 80, 700, 520),
                            QRect(area.left() + 10, area.bottom() - 150, 420, 140)}) {
    main.setGeometry(where);
    main.show();
    SetMainWindow(&main);
    const auto check = [&](QDialog& dialog, const char* name) {
      bool seen = false;
      test::OnNextDialog([&](QDialog* d) {
        const QRect g = d->frameGeometry();
        EXPECT_TRUE(area.contains(g)) << name << " " << g.x() << "," << g.y() << " " << g.width() << "x" << g.height() << " in " << area.width() << "x" << area.height();
        if (area.contains(QRect(main.frameGeometry().center() - QPoint(g.width() / 2, g.height() / 2), g.size()))) {
          EXPECT_NEAR(g.center().x(), main.frameGeometry().center().x(), 2) << name;
          EXPECT_NEAR(g.center().y(), main.frameGeometry().center().y(), 2) << name;
        }
        seen = true;
        d->done(0);
      });
      ShowFormModal(dialog);
      EXPECT_TRUE(seen) << name;
    };
    frmSensorInfo info(ds, &main);
    check(info, "frmSensorInfo");
    frmDataCode code(ds, &main);
    check(code, "frmDataCode");
    frmOptions options(backend, &main);
    check(options, "frmOptions");
    frmAbout about(true, &main);
    check(about, "frmAbout");
  }
  SetMainWindow(nullptr);
}

TEST(AboutDialog, OkButtonHasItsCaption) {
  frmAbout about(false);
  EXPECT_EQ(about.btOK->text(), QStringLiteral("&OK"));
  EXPECT_TRUE(about.lblNotice->text().startsWith(QStringLiteral("\u00A9 ")));
}

}  // namespace
}  // namespace rkt
