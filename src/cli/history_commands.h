#pragma once

#include <QJsonArray>
#include <optional>
#include <string>
#include <vector>

#include "output/value_changes.h"

// What the write command and the history command share.
namespace rkt::cli {

// The database --history-db names, or the user's own.
std::string HistoryPath(const std::optional<std::string>& option);

// [{"label": …, "before": …, "after": …}, …]
QJsonArray ChangesJson(const std::vector<ValueChange>& changes);
// "label now → new" lines, or "keine Änderungen" in the current language.
std::string ChangesText(const std::vector<ValueChange>& changes);

}  // namespace rkt::cli
