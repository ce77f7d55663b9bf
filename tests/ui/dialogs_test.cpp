#include "ui_test_support.h"
#include "text/help_window.h"
#include "text/window_placement.h"

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
      EXPECT_EQ(!d->lblText[1]->isHidden(), progexit);
      EXPECT_EQ(!d->lblText[2]->isHidden(), !progexit);
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

// OK stores a real edit with Windows line ends in Windows-1252; without an
// edit the stored form stays, whatever the box shows; Cancel keeps it.
TEST(CommentDialog, OkStoresOnlyARealChange) {
  // Texts in UTF-8; nullptr: not checked, no edit.
  const struct { std::string stored; const char *shown, *replace, *append; bool ok; std::string expected; bool changed; } rows[] = {
      {"Halle 3\r\nGr\xfcn", "Halle 3\nGrün", nullptr, nullptr, true, "Halle 3\r\nGr\xfcn", false},
      {"Halle 3", nullptr, "neu", nullptr, false, "Halle 3", false},
      {"Halle 3", nullptr, "Zeile 1\nÄnderung", nullptr, true, "Zeile 1\r\n\xc4nderung", true},
      {"Halle\xa0" "3", nullptr, nullptr, nullptr, true, "Halle\xa0" "3", false},
      {"Halle\xa0" "3", nullptr, nullptr, "!", true, "Halle\xa0" "3!", true},  // the untouched no-break space stays
      {"Zeile 1\nZeile 2", nullptr, nullptr, nullptr, true, "Zeile 1\nZeile 2", false},
      {"Zeile 1\rZeile 2", nullptr, nullptr, nullptr, true, "Zeile 1\rZeile 2", false},
      {"Ende mit Umbruch\r\n", nullptr, nullptr, nullptr, true, "Ende mit Umbruch\r\n", false},
      {"  Leerzeichen  \t", nullptr, nullptr, nullptr, true, "  Leerzeichen  \t", false},
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
    EXPECT_EQ(GetComment(ds), row.ok);
    EXPECT_EQ(ds.Comment(), row.expected);
    EXPECT_EQ(ds.IsCommentChanged(), row.changed);
    EXPECT_EQ(ds.IsChanged(), row.changed);
  }
}

TEST(DataCodeDialog, CodesAreCleanedUpAndCheckedBeforeUse) {
  DataSet ds;
  test::MessageRecorder messages;
  test::OnNext<frmDataCode>([](frmDataCode* d) {
    EXPECT_EQ(d->txtCode->text(), QString()) << "no data: no code";
    d->btOK->click();
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
  dialog.txtCode->setFocus();
  const struct { QString input; bool paste; QString expected; } rows[] = {
      {code.toLower(), false, code},
      {QStringLiteral("  ") + code.toLower() + QStringLiteral(" \n"), true, code},
      {QStringLiteral("\t") + code + QStringLiteral("   "), true, code},
      {code + QStringLiteral("XYZ"), true, QString()},  // too long even without blanks: refused
      {code + QStringLiteral("7"), false, code},        // typing stops at 23 characters
  };
  for (const auto& row : rows) {
    dialog.txtCode->clear();
    QApplication::clipboard()->setText(row.input);
    if (row.paste) QTest::keyClick(dialog.txtCode, Qt::Key_V, Qt::ControlModifier);
    else QTest::keyClicks(dialog.txtCode, row.input);
    EXPECT_EQ(dialog.txtCode->text(), row.expected) << row.input.toStdString();
  }
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
  EXPECT_TRUE(applied && !dialog.isVisible());
  EXPECT_EQ(ds.GetInt(ValueId::TimeValue1, kWorkingCopy), 99);
  EXPECT_EQ(TypeDesignation(ds, kWorkingCopy), "<DATACODE>");
}

TEST(OptionsDialog, OkAppliesEverythingCancelOnlyTheLanguage) {
  test::FakeOptions backend;
  {
    frmOptions dialog(backend);
    EXPECT_EQ(dialog.cmbPorts->currentText(), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_TRUE(dialog.chkSensor->isChecked() && dialog.chkPreview->isChecked());
    EXPECT_EQ(dialog.lblTraceFile->text(), QStringLiteral("/tmp/trace.txt")) << "support needs to know where it goes";
    EXPECT_EQ(dialog.chkPreview->text(), QStringLiteral("Änderungen vor dem Schreiben anzeigen"));
    dialog.chkTooltips->setChecked(true);
    dialog.chkOverview->setChecked(false);
    dialog.cmbPorts->setCurrentIndex(0);
    dialog.chkTrace->setChecked(true);
    dialog.chkPreview->setChecked(false);
    dialog.btOK->click();
  }
  EXPECT_TRUE(backend.trace && backend.tooltips);
  EXPECT_FALSE(backend.preview) << "production switches the preview off";
  EXPECT_EQ(backend.overview, 0);
  EXPECT_EQ(backend.opened, QStringList{QStringLiteral("/dev/ttyS0")});
  {
    frmOptions dialog(backend);
    test::Choose(dialog.cmbLanguage, 1);
    dialog.chkSensor->setChecked(false);
    dialog.btCancel->click();
  }
  EXPECT_EQ(backend.language, 1) << "a chosen language stays even after Cancel";
  EXPECT_EQ(backend.detection, 1);
}

// Every dialog opens through ShowFormModal: centred over the main window,
// inside the screen (near the bottom edge it would hang off), modal to its
// window only, so that its help comes to the front and takes input.
TEST(Dialogs, OpenOverTheMainWindowInsideTheScreenWithTheirHelpUsable) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  QWidget main;
  QtHelpViewer viewer{{}};
  SetMainWindow(&main);
  SetHelpViewer(&viewer);
  test::FakeOptions backend;
  frmOptions dialog(backend);
  for (const QRect where : {QRect(area.left() + 100, area.top() + 80, 700, 520),
                            QRect(area.left() + 10, area.bottom() - 150, 420, 140)}) {
    main.setGeometry(where);
    main.show();
    bool seen = false;
    test::OnNext([&](QDialog* d) {
      seen = d == &dialog;
      EXPECT_EQ(d->windowModality(), Qt::WindowModal);
      const QRect g = d->frameGeometry();
      EXPECT_TRUE(area.contains(g)) << g.x() << "," << g.y() << " " << g.width() << "x" << g.height();
      if (area.contains(QRect(main.frameGeometry().center() - QPoint(g.width() / 2, g.height() / 2), g.size()))) {
        EXPECT_NEAR(g.center().x(), main.frameGeometry().center().x(), 2);
        EXPECT_NEAR(g.center().y(), main.frameGeometry().center().y(), 2);
      }
      dialog.btHelp->click();
      HelpWindow* help = viewer.Window();
      ASSERT_NE(help, nullptr);
      EXPECT_TRUE(QTest::qWaitForWindowActive(help, 10000)) << "the help comes to the front";
      EXPECT_NE(help->Browser()->source().fileName(), QStringLiteral("index.html")) << "opened at the dialog's topic";
      QPushButton* contents = nullptr;
      for (QPushButton* b : help->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("\u2302")) contents = b;
      ASSERT_NE(contents, nullptr);
      // Clicked the way the window system delivers it: a window blocked by a modal dialog never sees it.
      QTest::mouseClick(help->windowHandle(), Qt::LeftButton, {}, contents->mapTo(help, contents->rect().center()));
      EXPECT_EQ(help->Browser()->source().fileName(), QStringLiteral("index.html")) << "the help takes input";
      help->close();
      d->reject();
    });
    ShowFormModal(dialog);
    EXPECT_TRUE(seen);
  }
  SetHelpViewer(nullptr);
  SetMainWindow(nullptr);
}

}  // namespace
}  // namespace rkt
