#pragma once

#include <string>
#include <string_view>

// Loading the options at start and saving them at the orderly end.
namespace rkt {

class LinkServices;
class RecentFiles;
class SettingsStore;

// Options that belong to the windows rather than the link: the toolbar's
// tooltips, the overview display and the debug display. The windows read and
// change them here; the options dialog changes them only in memory.
struct ViewOptions {
  bool debug = false;
  bool tooltips = true;
  bool overviewShown = true;
  bool writePreview = true;  // a write first shows what it changes
  // Where the history of writes is kept: a file, a server's address
  // (postgresql://…), or "" for the user's own file.
  std::string historyDb;
};

// In this order: QDDebug ("yes" in any case), SensDetection (exactly "Auto"
// switches detection on), Tooltips (exactly "YES"), Language (selected by
// display name), Port (opened here), BlockDiagram (exactly "Show"), then
// the recent files, FILE1 first. WritePreview ("NO" switches it off) is
// read as well, and HistoryDb.
// Without a stored language (the first start) the language file whose locale
// fits systemLocale is taken (LanguageForLocale).
void LoadOptions(const SettingsStore& store, LinkServices& link, ViewOptions& view, RecentFiles& recent,
                 std::string_view systemLocale = {});

// Writes SensDetection, Tooltips, Port, BlockDiagram, Language, WritePreview,
// HistoryDb and the recent files.
void SaveOptions(SettingsStore& store, const LinkServices& link, const ViewOptions& view, const RecentFiles& recent);

}  // namespace rkt
