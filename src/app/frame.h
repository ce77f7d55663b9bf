#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/main_loop.h"
#include "app/options.h"
#include "model/data_set.h"
#include "model/recent_files.h"

// The application frame: start-up in a fixed order, the main loop, and the
// orderly end. It owns the data set, the recent-file list and the view
// options that the windows work on.
namespace rkt {

class LinkServices;
class frmMain;
class OptionsBackend;
class SettingsStore;

class Frame {
 public:
  Frame(SettingsStore& settings, LinkServices& link, std::filesystem::path programDir);
  ~Frame();
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

  // Start-up up to the main loop: start picture, overview on, languages,
  // main window (hidden), InitPorts, data set reset, recent files emptied,
  // InitDetection, LoadOptions, main window shown, start picture removed,
  // and a first detection requested when automatic detection is on.
  void Start(bool showStartPicture = true);
  // Opens a parameter file named on the command line; one that cannot be
  // used is reported and the program goes on without data.
  void OpenStartFile(const std::string& path);
  // The main loop; returns when ProgramExit has run.
  int Run();

  // Orderly end: the current file goes to the top of the recent files, the
  // options are saved, the port is closed and the main loop ends.
  void ProgramExit();


  DataSet& Data() { return m_data; }
  RecentFiles& Recent() { return m_recent; }
  ViewOptions& View() { return m_view; }
  LinkServices& Link() { return m_link; }
  DetectionRequest& Request() { return m_request; }
  MainLoop& Loop() { return m_loop; }
  frmMain* MainWindow() const { return m_mainWindow.get(); }
  // Takes the history the options name ("" for the user's own file).
  void OnHistoryChanged(std::function<void(const std::string&)> change) { m_historyChanged = std::move(change); }
  bool Ended() const { return m_ended; }
  // The locale a first start takes its language from; the system's unless set before Start.
  void SetSystemLocale(std::string name) { m_systemLocale = std::move(name); }

 private:
  SettingsStore& m_settings;
  LinkServices& m_link;
  std::filesystem::path m_programDir;
  std::string m_systemLocale;
  DataSet m_data;
  RecentFiles m_recent;
  ViewOptions m_view;
  DetectionRequest m_request;
  MainLoop m_loop;
  std::unique_ptr<frmMain> m_mainWindow;
  std::unique_ptr<OptionsBackend> m_options;
  bool m_ended = false;
  std::function<void(const std::string&)> m_historyChanged;
};

// The process entry point of the rkt410 program.
int Main(int argc, char** argv);

// Runs one event delivery; an exception it throws is caught and shown as the
// program-error message ("Programmfehler! Fehlernummer 7" for lack of
// memory, 51 otherwise) instead of ending the program. False then.
bool DeliverSafely(const std::function<bool()>& deliver);

}  // namespace rkt
