#include "ui/ui_text.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>
#include <string>

#include "text/language.h"
#include "text/text_keys.h"

namespace rkt {

QString UiText(std::string_view section, std::string_view key) { return QString::fromStdString(Text(section, key)); }

QString ListText(TextList list, int i) { return QString::fromStdString(ListItemText(list, i)); }

bool LoadQtTranslations() {
  static QPointer<QTranslator> installed;
  static QString installedLocale;
  // A language file that names no locale leaves Qt's texts English.
  const QString locale = QString::fromStdString(LanguageLocale()).trimmed();
  if (installed && locale == installedLocale) return true;
  if (installed) {
    QCoreApplication::removeTranslator(installed);
    delete installed;
  }
  installedLocale = locale;
  if (locale.isEmpty() || QCoreApplication::instance() == nullptr) return false;
  auto* translator = new QTranslator(QCoreApplication::instance());
  // A Windows folder carries its own beside the program; elsewhere Qt's installed ones serve.
  const QString folders[] = {QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
  const auto loaded = [&](const QString& folder) {
    return translator->load(QLocale(locale), QStringLiteral("qtbase"), QStringLiteral("_"), folder);
  };
  if (!loaded(folders[0]) && !loaded(folders[1])) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  installed = translator;
  return true;
}

}  // namespace rkt
