#include "ui/accessibility.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QRadioButton>

namespace rkt {

namespace {

// A combo box named by its label. Children, states and actions as Qt's own
// interface has them: the list, and the line edit of an editable one.
class LabelledComboBox final : public QAccessibleWidget {
 public:
  explicit LabelledComboBox(QWidget* widget) : QAccessibleWidget(widget, QAccessible::ComboBox) {}

  QString text(QAccessible::Text t) const override {
    switch (t) {
      case QAccessible::Name: {
        // Accessible name, buddy label or group box title; the value only
        // when the box has none of them.
        const QString name = QAccessibleWidget::text(t);
        return name.isEmpty() ? text(QAccessible::Value) : name;
      }
      case QAccessible::Value: return Combo()->isEditable() ? Combo()->lineEdit()->text() : Combo()->currentText();
      case QAccessible::Accelerator: return QKeySequence(Qt::Key_Down).toString(QKeySequence::NativeText);
      default: return QAccessibleWidget::text(t);
    }
  }
  int childCount() const override { return Combo()->isEditable() ? 2 : 1; }
  QAccessibleInterface* child(int index) const override {
    if (index == 0) return QAccessible::queryAccessibleInterface(Combo()->view());
    if (index == 1 && Combo()->isEditable()) return QAccessible::queryAccessibleInterface(Combo()->lineEdit());
    return nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    if (child == nullptr) return -1;
    if (child->object() == Combo()->view()) return 0;
    if (Combo()->isEditable() && child->object() == Combo()->lineEdit()) return 1;
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    if (Combo()->isEditable() && Combo()->lineEdit()->rect().contains(Combo()->lineEdit()->mapFromGlobal(QPoint(x, y))))
      return child(1);
    return nullptr;
  }
  // The line edit of an editable box has the keyboard for it.
  QAccessibleInterface* focusChild() const override { return Combo()->isEditable() ? child(1) : nullptr; }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.expandable = true;
    s.expanded = Combo()->view()->isVisible();
    s.editable = Combo()->isEditable();
    return s;
  }
  QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
  void doAction(const QString& action) override {
    if (action != showMenuAction() && action != pressAction()) return;
    if (Combo()->view()->isVisible()) Combo()->hidePopup();
    else Combo()->showPopup();
  }
  QStringList keyBindingsForAction(const QString& /*action*/) const override { return {}; }

 private:
  QComboBox* Combo() const { return static_cast<QComboBox*>(widget()); }
};

// A radio button of a group the program keeps exclusive itself.
class OwnGroupRadioButton final : public QAccessibleWidget {
 public:
  explicit OwnGroupRadioButton(QWidget* widget) : QAccessibleWidget(widget, QAccessible::RadioButton) {}

  QString text(QAccessible::Text t) const override {
    switch (t) {
      case QAccessible::Name: {
        const QString name = widget()->accessibleName();
        return name.isEmpty() ? AccessibleText(Button()->text()) : name;
      }
      case QAccessible::Accelerator: return QKeySequence::mnemonic(Button()->text()).toString(QKeySequence::NativeText);
      default: return QAccessibleWidget::text(t);
    }
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.checkable = true;
    s.checked = Button()->isChecked();
    s.pressed = Button()->isDown();
    return s;
  }
  QStringList actionNames() const override {
    QStringList names;
    if (widget()->isEnabled()) names << toggleAction();
    return names + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (action == toggleAction() || action == pressAction()) {
      if (widget()->isEnabled()) Button()->click();
      return;
    }
    QAccessibleWidget::doAction(action);
  }

 private:
  QRadioButton* Button() const { return static_cast<QRadioButton*>(widget()); }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
  if (object == nullptr || !object->isWidgetType()) return nullptr;
  auto* widget = static_cast<QWidget*>(object);
  if (className == QLatin1String("QComboBox")) return new LabelledComboBox(widget);
  if (className == QLatin1String("QRadioButton") && !static_cast<QRadioButton*>(widget)->autoExclusive())
    return new OwnGroupRadioButton(widget);
  return nullptr;
}

}  // namespace

void InstallAccessibility() {
  // Factories installed later are asked first: these come before Qt's own.
  static const bool installed = (QAccessible::installFactory(Factory), true);
  (void)installed;
}

QString AccessibleText(const QString& caption) {
  QString out;
  out.reserve(caption.size());
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == QLatin1Char('&')) {
      if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&')) out += caption[++i];
      continue;
    }
    out += caption[i];
  }
  return out;
}

}  // namespace rkt
