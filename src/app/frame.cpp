#include "app/frame.h"

#include <QApplication>
#include <cstdio>
#include <string_view>
#include <QCommandLineParser>
#include <QLocale>
#include <QPointer>
#include <QSessionManager>
#include <QSplashScreen>

#include "app/link_services.h"
#include "app/sensor_link.h"
#include "app/settings_store.h"
#include "app/start_picture.h"
#include "history/history_db.h"
#include "history/plant_journal.h"
#include "rkt_version.h"
#include "text/help_window.h"
#include "text/language.h"
#include "text/message_box.h"
#include "text/messages.h"
#include "text/text_keys.h"
#include "text/window_placement.h"
#include "model/parameter_file.h"
#include "model/safe_file.h"
#include "ui/dialogs.h"
#include "ui/frm_main.h"
#include "ui/overview.h"
#include "ui/ui_text.h"
#include "ui/ui_services.h"

namespace rkt {

Frame::Frame(SettingsStore& settings, LinkServices& link, std::filesystem::path programDir)
    : m_settings(settings),
      m_link(link),
      m_programDir(std::move(programDir)),
      m_systemLocale(QLocale::system().uiLanguages().value(0, QLocale::system().name()).toStdString()),
      m_loop(m_request, [this] { m_link.DetectSensor(); }) {
  m_data.SetRecentFiles(&m_recent);
}

namespace {

// What the options dialog shows and changes: the link's port and detection,
// the window's tooltips and overview, the language.
class FrameOptions final : public OptionsBackend {
 public:
  FrameOptions(LinkServices& link, ViewOptions& view, frmMain& window,
               const std::function<void(const std::string&)>& historyChanged)
      : m_link(link), m_view(view), m_window(window), m_historyChanged(historyChanged) {}
  int Detection() const override { return m_link.DetectionMode(); }
  void SetDetection(int mode) override { m_link.SetDetection(mode); }
  bool Tooltips() const override { return m_view.tooltips; }
  void SetTooltips(bool on) override {
    m_view.tooltips = on;
    m_window.SetTooltips(on);
  }
  QStringList Ports() const override {
    QStringList out;
    for (const std::string& p : m_link.PortList()) out << QString::fromStdString(p);
    return out;
  }
  QString CurrentPort() const override { return QString::fromStdString(m_link.PortName()); }
  void OpenPort(const QString& name) override { m_link.OpenPort(name.toStdString()); }
  QStringList Languages() const override {
    QStringList out;
    for (int i = 0;; ++i) {
      const std::string name = GetLanguageName(i);
      if (name.empty()) break;
      out << QString::fromStdString(name);
    }
    return out;
  }
  int CurrentLanguage() const override { return CurrentLanguageIndex(); }
  void SelectLanguage(int index) override {
    if (index >= 0) rkt::SelectLanguage(index);
  }
  int OverviewShown() const override { return m_view.overviewShown ? 1 : 0; }
  void SetOverviewShown(int shown) override {
    m_view.overviewShown = shown != 0;
    m_window.SetOverviewShown(shown);
  }
  bool Trace() const override { return m_link.Tracing(); }
  void SetTrace(bool on) override {
    // The file could not be written: said like any failed save, with its name.
    if (!m_link.SetTrace(on))
      ShowErrorText(QString::fromStdString(MessageDisplayText(msg::kSaveFailed) + "\n" + m_link.TraceFile()));
  }
  QString TraceFile() const override { return QString::fromStdString(m_link.TraceFile()); }
  bool WritePreview() const override { return m_view.writePreview; }
  void SetWritePreview(bool on) override {
    m_view.writePreview = on;
    m_window.SetWritePreview(on);
  }
  QString HistoryDb() const override { return QString::fromStdString(m_view.historyDb); }
  QString DefaultHistoryDb() const override { return history::HistoryDb::DefaultPath(); }
  void SetHistoryDb(const QString& where) override {
    if (where.toStdString() == m_view.historyDb) return;
    m_view.historyDb = where.toStdString();
    if (m_historyChanged) m_historyChanged(m_view.historyDb);
  }

 private:
  LinkServices& m_link;
  ViewOptions& m_view;
  frmMain& m_window;
  const std::function<void(const std::string&)>& m_historyChanged;
};

}  // namespace

Frame::~Frame() = default;

void Frame::Start(bool showStartPicture) {
  // 1. Start picture, with the busy pointer until the main window is up.
  std::unique_ptr<QSplashScreen> splash;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (showStartPicture) {
    splash = std::make_unique<QSplashScreen>(StartPicture());
    splash->show();
    QCoreApplication::processEvents();
  }
  // 2. Overview display on; the stored option may switch it off.
  m_view.overviewShown = true;
  // 3. Languages; the stored one is selected by LoadOptions.
  FindLanguages(LanguageFolders(m_programDir));
  // 4. The main window, not yet visible.
  m_mainWindow = std::make_unique<frmMain>(m_data, m_recent);
  SetMainWindow(m_mainWindow.get());
  m_mainWindow->SetLanguageIndexSource([] { return CurrentLanguageIndex(); });
  m_mainWindow->SetEchoSource([this] { return m_link.Echo(); });
  m_mainWindow->SetShutdown([this] { ProgramExit(); });
  m_options = std::make_unique<FrameOptions>(m_link, m_view, *m_mainWindow, m_historyChanged);
  m_mainWindow->SetOptionsBackend(m_options.get());
  QObject::connect(m_mainWindow.get(), &frmMain::SensorCommandRequested,
                   [this](SensorCommand command) { m_link.RunCommand(command); });
  m_link.Attach(m_data, *m_mainWindow);
  // 5. Serial layer with the service values; the port stays closed.
  m_link.InitPorts(m_settings.ReadLinkSettings());
  // 6. Data set in its start state, no file.
  m_data.Reset();
  // 7. No recent files until the stored ones are read.
  m_recent.ResetRecentFiles();
  // 8. Detection with its request flag.
  m_link.InitDetection(m_request);
  // 9. Options: selects the stored language, then opens the stored port (a
  // failure is reported over the start picture, in that language).
  LoadOptions(m_settings, m_link, m_view, m_recent, m_systemLocale);
  m_mainWindow->SetTooltips(m_view.tooltips);
  m_mainWindow->SetDebugDisplay(m_view.debug);
  m_mainWindow->SetWritePreview(m_view.writePreview);
  int shown = m_view.overviewShown ? 1 : 0;
  m_mainWindow->SetOverviewShown(shown);
  // 10. Main window up.
  m_mainWindow->show();
  m_mainWindow->LoadMainTexts();
  QCoreApplication::processEvents();
  // 11. Start picture away.
  if (splash) splash->finish(m_mainWindow.get());
  splash.reset();
  QApplication::restoreOverrideCursor();
  // 12. With automatic detection the first run comes at once.
  if (m_link.DetectionMode() == 1) m_request.Raise();
  else m_request.Clear();
}

int Frame::Run() { return m_loop.Run(); }

void Frame::OpenStartFile(const std::string& path) {
  // A file named at start that cannot be used is reported with its reason
  // (missing, a folder, not readable …) instead of opening the dialog.
  DataSet probe;
  if (const LoadResult r = LoadParameterFileChecked(probe, path); r.status != LoadStatus::Ok) {
    ShowFileMessage(msg::kInvalidFile, path, r.reason);
    return;
  }
  m_mainWindow->Files().Load(QString::fromStdString(path));
}

void Frame::ProgramExit() {
  if (m_ended) return;
  m_ended = true;
  // The last file used is offered first next time.
  if (!m_data.FileName().empty()) m_recent.AddRecentFile(m_data.FileName());
  SaveOptions(m_settings, m_link, m_view, m_recent);
  if (!m_settings.Sync())
    qWarning("rkt410: the settings could not be written to %s: %s", qPrintable(m_settings.Location()),
             m_settings.LastError().c_str());
  m_link.ClosePort();
  m_loop.Quit();
}

bool DeliverSafely(const std::function<bool()>& deliver) {
  int number = kErrorInternal;
  std::string what;
  try {
    return deliver();
  } catch (const std::bad_alloc&) {
    number = kErrorOutOfMemory;
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
  }
  if (!what.empty()) qWarning("rkt410: %s", what.c_str());
  ShowMessageBox(BuildMessage(number));
  return false;
}

namespace {

// Qt ends the program when an exception leaves an event handler. Caught
// here instead, it becomes the program-error message; the data set, the
// window and the file on disk stay as they were, so the user can save.
class Application final : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    return DeliverSafely([&] { return QApplication::notify(receiver, event); });
  }
};

}  // namespace

int Main(int argc, char** argv) {
  // Version and usage need no window; answering them before the window
  // system starts lets them work without a display, too.
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--version" || a == "-v") {
      std::printf("rkt410 %s\n", RKT_VERSION_STRING);
      return 0;
    }
  }
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    for (int i = 1; i < argc; ++i) {
      const std::string_view a = argv[i];
      if (a == "--help" || a == "-h") qputenv("QT_QPA_PLATFORM", "offscreen");
    }
  }
  Application app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("rkt410"));
  QApplication::setApplicationVersion(QStringLiteral(RKT_VERSION_STRING));
  // The frame ends the program through ProgramExit, not when a window closes.
  QApplication::setQuitOnLastWindowClosed(false);

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("RKT 410 Parametrierung"));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption settingsOption(
      QStringLiteral("settings"), QStringLiteral("Keep the options in the INI file <file> instead of the user's store."),
      QStringLiteral("file"));
  const QCommandLineOption noSplashOption(QStringLiteral("no-start-picture"), QStringLiteral("Start without the start picture."));
  const QCommandLineOption helpTopicOption(QStringLiteral("help-topic"),
                                           QStringLiteral("Open the help at topic <context> after the start."),
                                           QStringLiteral("context"));
  const QCommandLineOption simulateOption(
      QStringLiteral("simulate"), QStringLiteral("Work with the built-in simulated sensor instead of a serial port."));
  parser.addOption(simulateOption);
  const QCommandLineOption traceOption(QStringLiteral("trace"),
                                       QStringLiteral("Record every byte on the serial line in <file>, for support."),
                                       QStringLiteral("file"));
  parser.addOption(traceOption);
  const QCommandLineOption historyOption(
      QStringLiteral("history-db"),
      QStringLiteral("Keep the history of sensor writes in the database <file> instead of the user's data folder, "
                     "or on the PostgreSQL server postgresql://user@host:port/database (the records wait in the "
                     "user's own file until the server has them)."),
      QStringLiteral("file"));
  parser.addOption(historyOption);
  parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A parameter file (.RKT) to open at start."),
                               QStringLiteral("[file]"));
  parser.addOption(settingsOption);
  parser.addOption(noSplashOption);
  parser.addOption(helpTopicOption);
  parser.process(app);

  const std::filesystem::path programDir = PathFromUtf8(QCoreApplication::applicationDirPath().toStdString());
  std::unique_ptr<SettingsStore> settings = parser.isSet(settingsOption)
                                                ? std::make_unique<SettingsStore>(parser.value(settingsOption))
                                                : std::make_unique<SettingsStore>();
  SensorLink link(parser.isSet(simulateOption));
  // The history: the command line's, else the options' (changed there, it
  // is taken at once). What a server's journal tells goes to the status bar.
  std::unique_ptr<history::Journal> journal;
  QPointer<frmMain> window;
  std::string historyWhere;
  const auto openHistory = [&](const std::string& where) {
    historyWhere = where;
    link.SetJournal(nullptr);
    journal.reset();
    journal = history::OpenJournal(where, {}, [&window](const history::ServerNotice& n) {
      const QString text = n.reachable ? UiText("frmMain", "StatusHistoryBack").arg(n.sent)
                                       : UiText("frmMain", "StatusHistoryAway").arg(QString::fromStdString(n.problem));
      QMetaObject::invokeMethod(qApp, [&window, text] {
        if (window) window->ShowStatusMessage(text);
      }, Qt::QueuedConnection);
    });
    link.SetJournal(journal.get());
    if (window) window->SetHistory(&journal->LocalHistory());
  };
  openHistory(parser.isSet(historyOption) ? parser.value(historyOption).toStdString()
                                          : settings->GetString(kSettingsSection, "HistoryDb", ""));
  if (parser.isSet(traceOption)) {
    // The trace replaces its file: never one of the program's own files
    // (the file to be opened, the settings, the history and its journals),
    // however the path names it.
    const std::string trace = parser.value(traceOption).toStdString();
    std::vector<std::pair<std::string, const char*>> own;
    for (const QString& file : parser.positionalArguments()) own.emplace_back(file.toStdString(), "the file to open");
    own.emplace_back(settings->Location().toStdString(), "the settings file");
    for (const std::string& file : history::HistoryDbFiles(journal->LocalHistory().Path().toStdString()))
      own.emplace_back(file, "the history database");
    const char* ownFile = nullptr;
    for (const auto& [file, what] : own)
      if (!ownFile && SameFile(PathFromUtf8(trace), PathFromUtf8(file))) ownFile = what;
    if (ownFile)
      qWarning("rkt410: the trace file %s is %s; it is left as it is, and no trace is written", trace.c_str(), ownFile);
    else if (!link.StartTrace(trace))
      qWarning("rkt410: the trace file %s cannot be written", trace.c_str());
  }
  Frame frame(*settings, link, programDir);
  frame.OnHistoryChanged(openHistory);

  QtMessagePresenter presenter;
  QtHelpViewer helpViewer(HelpFolders(programDir));
  SetMessagePresenter(&presenter);
  SetHelpViewer(&helpViewer);

  // Logging off or shutting down the system closes the main window as the
  // user would, so that the options are saved; a kept window stops it.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, [&frame](QSessionManager& manager) {
    if (!frame.Ended() && frame.MainWindow() != nullptr && !frame.MainWindow()->close()) manager.cancel();
  });

  frame.Start(!parser.isSet(noSplashOption));
  window = frame.MainWindow();
  window->SetHistory(&journal->LocalHistory());
  window->SetStationSetup([&link, &historyWhere] { return link.StationSetupFor(historyWhere); });
  if (!parser.positionalArguments().isEmpty()) frame.OpenStartFile(parser.positionalArguments().front().toStdString());
  // A write the last run did not finish is told once the window is up.
  frame.MainWindow()->Files().ReportInterruptedWrite();
  if (parser.isSet(helpTopicOption)) ShowHelp(parser.value(helpTopicOption).toInt());
  const int code = frame.Run();
  window = nullptr;
  link.SetJournal(nullptr);
  journal.reset();

  SetMessagePresenter(nullptr);
  SetHelpViewer(nullptr);
  return code;
}

}  // namespace rkt
