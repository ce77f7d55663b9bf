#pragma once

#include <QGroupBox>
#include <QStringList>
#include <array>

class QLabel;

namespace rkt {

class DataSet;

// The overview's lines for the read copy, in the current language: one line
// per function the sensor type has, at most twelve.
QStringList OverviewLines(const DataSet& ds, bool sensitivityAvailable);

// The frame above the parameter panel that shows the overview as bulleted
// rows. It shows the read copy: the settings as last read, loaded, written or
// saved, not the pending edits.
class OverviewBlock : public QGroupBox {
  Q_OBJECT

 public:
  static constexpr int kRows = 12;

  explicit OverviewBlock(QWidget* parent = nullptr);

  void RefreshOverview(const DataSet& ds, bool sensitivityAvailable);
  // Greys or un-greys every row (n > 0 enables).
  void SetOverviewEnabled(int n);

  std::array<QLabel*, kRows> imgBullet;
  std::array<QLabel*, kRows> lblBL;
};

}  // namespace rkt
