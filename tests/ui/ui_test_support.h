#pragma once

// Shared by the widget and program tests: the headers they use and helpers.
#include <gtest/gtest.h>

#include <QTest>
#include <QtWidgets>
#include <functional>
#include <map>
#include <random>
#include <type_traits>
#include <vector>

#include "model/data_code.h"
#include "model/data_set.h"
#include "model/value_conversions.h"
#include "../model/test_data.h"
#include "support/recording_presenter.h"
#include "ui/dialogs.h"
#include "ui/overview.h"
#include "ui/parameter_panel.h"
#include "ui/station_window.h"
#include "ui/ui_text.h"

namespace rkt::test {

inline const QString kSample = QStringLiteral(RKT_SOURCE_DIR "/resources/samples/sample.RKT");

// A station window's setup for windows that are only looked at, not started.
inline StationSetup IdleStation() {
  StationSetup setup;
  setup.ports = {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB3"};
  return setup;
}

inline std::vector<int> ItemData(const QComboBox* combo) {
  std::vector<int> out;
  for (int i = 0; i < combo->count(); ++i) out.push_back(combo->itemData(i).toInt());
  return out;
}

// A user's choice in a list: the index and the signal the window listens to.
inline void Choose(QComboBox* combo, int index) {
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

inline QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}

// Runs `action` on the next modal dialog of type T (queued before the call that opens it).
template <typename T = QDialog>
void OnNext(std::type_identity_t<std::function<void(T*)>> action) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      action(dialog);
    }
  });
  timer->start();
}

using MessageRecorder = InstalledPresenter;

struct FakeOptions : OptionsBackend {
  int detection = 1, language = 0, overview = 1;
  bool tooltips = false, trace = false, preview = true;
  QString port = QStringLiteral("/dev/ttyUSB0"), traceFile = QStringLiteral("/tmp/trace.txt");
  int Detection() const override { return detection; }
  void SetDetection(int m) override { detection = m; }
  bool Tooltips() const override { return tooltips; }
  void SetTooltips(bool on) override { tooltips = on; }
  QStringList Ports() const override { return {QStringLiteral("/dev/ttyS0"), port}; }
  QString CurrentPort() const override { return port; }
  void OpenPort(const QString&) override {}
  QStringList Languages() const override { return {QStringLiteral("Deutsch"), QStringLiteral("English")}; }
  int CurrentLanguage() const override { return language; }
  void SelectLanguage(int index) override { language = index; }
  int OverviewShown() const override { return overview; }
  void SetOverviewShown(int shown) override { overview = shown; }
  bool Trace() const override { return trace; }
  void SetTrace(bool on) override { trace = on; }
  QString TraceFile() const override { return traceFile; }
  bool WritePreview() const override { return preview; }
  void SetWritePreview(bool on) override { preview = on; }
  QString historyDb;
  QString HistoryDb() const override { return historyDb; }
  QString DefaultHistoryDb() const override { return QStringLiteral("/home/u/history.sqlite"); }
  void SetHistoryDb(const QString& where) override { historyDb = where; }
};

}  // namespace rkt::test
