#include "text/control_text.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QVariant>

#include "text/language.h"

namespace rkt {

namespace {

constexpr const char* kDefaultText = "defaultText";

// The caption of a control, or nullopt when it has none.
std::optional<QString> Caption(const QObject* c) {
  if (auto* b = qobject_cast<const QAbstractButton*>(c)) return b->text();
  if (auto* l = qobject_cast<const QLabel*>(c)) return l->text();
  if (auto* g = qobject_cast<const QGroupBox*>(c)) return g->title();
  if (auto* m = qobject_cast<const QMenu*>(c)) return m->title();
  if (auto* a = qobject_cast<const QAction*>(c)) return a->text();
  if (auto* w = qobject_cast<const QWidget*>(c); w != nullptr && w->isWindow()) return w->windowTitle();
  return std::nullopt;
}

void SetCaption(QObject* c, const QString& text) {
  if (auto* b = qobject_cast<QAbstractButton*>(c)) b->setText(text);
  else if (auto* l = qobject_cast<QLabel*>(c)) l->setText(text);
  else if (auto* g = qobject_cast<QGroupBox*>(c)) g->setTitle(text);
  else if (auto* m = qobject_cast<QMenu*>(c)) m->setTitle(text);
  else if (auto* a = qobject_cast<QAction*>(c)) a->setText(text);
  else if (auto* w = qobject_cast<QWidget*>(c)) w->setWindowTitle(text);
}

}  // namespace

QString ControlKey(const QObject* control) {
  QString key = control->objectName();
  const QVariant index = control->property("controlIndex");
  if (index.isValid()) key += QString::number(index.toInt());
  return key;
}

bool SetControlText(std::string_view section, QObject* control) {
  if (control == nullptr) return false;
  const auto caption = Caption(control);
  if (!caption) return false;
  QVariant def = control->property(kDefaultText);
  if (!def.isValid()) {
    def = *caption;
    control->setProperty(kDefaultText, def);
  }
  const std::string text =
      GetText(section, ControlKey(control).toStdString(), def.toString().toStdString());
  SetCaption(control, QString::fromStdString(text));
  return true;
}

}  // namespace rkt
