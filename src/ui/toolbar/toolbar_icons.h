#pragma once

#include <QIcon>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <string>

class QWidget;

// The toolbar's symbols, drawn as SVG so they stay sharp at any screen
// scale, with the looks the buttons need, and the tooltip texts. The main
// window puts them on QToolBar actions; Qt's tool buttons then draw the
// hover and pressed frames and ignore a disabled button's hover, press and
// click.
namespace rkt {

inline constexpr int kToolbarButtonCount = 11;
inline constexpr int kToolbarSymbolSize = 24;  // logical pixels

// Button indices in toolbar order.
enum ToolbarButton : int {
  kButtonLoad = 0,
  kButtonSave = 1,
  kButtonPrint = 2,
  kButtonCommunicationTest = 3,
  kButtonSensorWrite = 4,
  kButtonSensorRead = 5,
  kButtonSensorInfo = 6,
  kButtonFactorySettings = 7,
  kButtonSensitivityWrite = 8,
  kButtonSensitivityRead = 9,
  kButtonExtraDescription = 10,
};

// The status bar's pictures: the detection indicator in its three states
// and the button that tests for a sensor.
enum class StatusImage { DetectionOn, DetectionOff, Searching, SensorFind };

// The light grey that marks "no symbol here" and is never greyed.
inline constexpr QRgb kTransparentGrey = qRgb(192, 192, 192);

// The grey a symbol colour becomes on a disabled button: a = (R+G+B)/3 and
// g = a/255 × 82 + 110, both rounded, so white gives 192 and black 110.
int DisabledGrey(int red, int green, int blue);

// The symbol as a disabled button shows it: every pixel except fully
// transparent ones and the transparent light grey becomes DisabledGrey
// (alpha kept). Returns ARGB32, with the source's device pixel ratio.
QImage GreyedSymbol(const QImage& symbol);

// Icons rendered from the SVG at whatever size and scale is asked for:
// Normal and Active (hover) show the symbol, Selected shows it shifted as
// pressed, Disabled shows it greyed by DisabledGrey. An index outside
// 0..10 gives a null icon.
QIcon ToolbarIcon(int index);
QIcon StatusIcon(StatusImage image);

// Tooltip of button index in the current language (section "Tooltips",
// key "Tooltip" + index); "" for an index outside 0..10.
std::string ToolbarTooltip(int index);
// "Sensor Indikator" and "Sensor testen" (the detection states share one).
std::string StatusTooltip(StatusImage image);

// The tooltip switch of the options: while off, watched widgets and their
// tool-button children show no tooltip; hover pictures are unaffected.
class TooltipSwitch : public QObject {
  Q_OBJECT
 public:
  explicit TooltipSwitch(QObject* parent = nullptr);
  // Watches the widget and every tool button inside it, also those added
  // later (a toolbar creates a button per action).
  void Watch(QWidget* widget);
  void SetEnabled(bool on);
  bool IsEnabled() const { return m_enabled; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool m_enabled = true;
};

}  // namespace rkt
