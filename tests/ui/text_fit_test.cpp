// Every text of every window fits its widget in every shipped language.
#include "ui_test_support.h"
#include "history/history_db.h"
#include "model/recent_files.h"
#include "text/help_window.h"
#include "text/language.h"
#include "ui/frm_main.h"
#include "ui/history_dialogs.h"

namespace rkt {
namespace {

// Why the text of w does not fit the room w has, or "" when it does. Labels
// that wrap or elide on purpose fit by design; everything else must show its
// whole text on one line at the width the layout gave it.
std::string Overflow(QWidget* w) {
  const auto report = [w](const QString& text, int need, int have) {
    return std::string(w->metaObject()->className()) + " " + w->objectName().toStdString() + " \"" + text.toStdString() +
           "\" needs " + std::to_string(need) + " px, has " + std::to_string(have);
  };
  if (auto* label = qobject_cast<QLabel*>(w)) {
    if (label->text().isEmpty() || label->wordWrap() || qobject_cast<ElidedLabel*>(label)) return {};
    if (label->sizeHint().width() > label->width()) return report(label->text(), label->sizeHint().width(), label->width());
  } else if (auto* push = qobject_cast<QPushButton*>(w)) {
    // The style's least button width is no need of the text: the text needs its own width inside the frame.
    if (push->text().isEmpty()) return {};
    QStyleOptionButton option;
    option.initFrom(push);
    option.text = push->text();
    const int have = push->style()->subElementRect(QStyle::SE_PushButtonContents, &option, push).width();
    const int need = push->fontMetrics().horizontalAdvance(QString(push->text()).remove(QLatin1Char('&'))) +
                     (push->icon().isNull() ? 0 : push->iconSize().width() + 4);
    if (need > have) return report(push->text(), need, have);
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    if (button->text().isEmpty()) return {};
    if (button->sizeHint().width() > button->width()) return report(button->text(), button->sizeHint().width(), button->width());
  } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
    // The title's own room: the style's title rectangle cut to the box.
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.subControls = QStyle::SC_GroupBoxLabel;
    option.lineWidth = 1;
    option.textAlignment = box->alignment();
    const QRect title = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    const int need = box->fontMetrics().horizontalAdvance(box->title());
    if (!box->title().isEmpty() && (title.right() >= box->width() || title.width() < need))
      return report(box->title(), title.left() + need, box->width());
  } else if (auto* combo = qobject_cast<QComboBox*>(w); combo && !combo->isEditable()) {
    // A list shows its chosen item in the box: the longest must fit there.
    QStyleOptionComboBox option;
    option.initFrom(combo);
    const int have =
        combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo).width();
    for (int i = 0; i < combo->count(); ++i)
      if (const int need = combo->fontMetrics().horizontalAdvance(combo->itemText(i)); need > have)
        return report(combo->itemText(i), need, have);
  } else if (auto* header = qobject_cast<QHeaderView*>(w); header && header->orientation() == Qt::Horizontal) {
    const int margin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int i = 0; i < header->count(); ++i) {
      if (header->isSectionHidden(i)) continue;
      const QString text = header->model()->headerData(i, Qt::Horizontal).toString();
      const int need = header->fontMetrics().horizontalAdvance(text) + margin;
      if (need > header->sectionSize(i)) return report(text, need, header->sectionSize(i));
    }
  }
  return {};
}

// Shows window at its own size and checks every visible text in it.
void ExpectTextsFit(QWidget* window, const std::string& where) {
  window->show();
  QCoreApplication::processEvents();
  std::vector<QWidget*> widgets{window};
  for (QWidget* w : window->findChildren<QWidget*>())
    if (w->isVisibleTo(window)) widgets.push_back(w);
  for (QWidget* w : widgets)
    if (const std::string why = Overflow(w); !why.empty()) ADD_FAILURE() << where << ": " << why;
  // The menu bar in one row: an entry pushed into the overflow button is not seen.
  if (auto* main = qobject_cast<QMainWindow*>(window); main && main->menuBar()) {
    EXPECT_LE(main->menuBar()->sizeHint().width(), main->menuBar()->width()) << where << ": menu bar";
  }
  window->hide();
}

// The main window before and after a file, every dialog, the help window and
// a message box in each shipped language.
TEST(TextFit, EveryTextFitsItsWidgetInEveryLanguage) {
#if defined(_WIN32)
  // The widths are those of the fonts at hand: wine's stand-ins for the
  // Windows UI fonts are wider and would say nothing about Windows.
  GTEST_SKIP() << "measured with the Linux build's fonts; wine has no Windows UI fonts";
#endif
  FindLanguages({std::filesystem::path(RKT_SOURCE_DIR) / "resources"});
  ASSERT_EQ(LanguageCount(), 7);
  QTemporaryDir dir;
  history::HistoryDb db(dir.filePath(QStringLiteral("history.sqlite")));
  link::WriteRecord write{.port = "/dev/ttyUSB0", .codeBefore = "", .codeAfter = ""};
  write.paramsAfter[3] = 1;
  db.Complete(db.Begin(write), link::WriteResult::VerifyFailed, 1040);  // a row and its note
  test::FakeOptions options;
  for (int index = 0; index < LanguageCount(); ++index) {
    SelectLanguage(index);
    const std::string language = GetLanguageName(index);
    DataSet ds;
    RecentFiles recent;
    ds.SetRecentFiles(&recent);
    frmMain window{ds, recent};
    window.SetLanguageIndexSource([] { return CurrentLanguageIndex(); });
    window.LoadMainTexts();
    ExpectTextsFit(&window, language + ", first start");
    window.Files().Load(test::kSample);
    ExpectTextsFit(&window, language + ", frmMain");
    const std::unique_ptr<QWidget> windows[] = {
        std::make_unique<frmOptions>(options, &window), std::make_unique<frmDataCode>(ds, &window),
        std::make_unique<frmPrintComment>(ds, &window), std::make_unique<frmSensorInfo>(ds, &window),
        std::make_unique<frmChanged>(false, &window),   std::make_unique<frmChanged>(true, &window),
        std::make_unique<frmAbout>(true, &window),      std::make_unique<frmRWState>(&window),
        std::make_unique<frmHistory>(db, &window),      std::make_unique<HelpWindow>(),
        std::make_unique<frmStation>(test::IdleStation(), ds, &window),
        std::make_unique<frmWritePreview>(std::vector<ValueChange>{{"Hysterese:", "standard", "groß", {}}}, &window)};
    for (const auto& w : windows) ExpectTextsFit(w.get(), language + ", " + w->objectName().toStdString());
  }
  FindLanguages({});
}

}  // namespace
}  // namespace rkt
