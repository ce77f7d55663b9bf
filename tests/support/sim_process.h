#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <string>

// rkt410-sim on a pseudo-terminal for end-to-end tests; stopped with SIGTERM
// when the object goes.
namespace rkt::test {

class SimProcess {
 public:
  // linkPath: where the pseudo-terminal's link goes (default: a new folder).
  explicit SimProcess(const QString& program, QStringList extra = {}, const QString& linkPath = {}) {
    m_link = linkPath.isEmpty() ? m_dir.filePath("sensor") : linkPath;
    m_state = m_dir.filePath("state.json");
    m_process.start(program, QStringList{"--link", m_link, "--state", m_state} + extra);
    // Ready once it has printed its device name.
    while (m_process.state() != QProcess::NotRunning && !m_process.canReadLine()) m_process.waitForReadyRead(5000);
    m_device = QString::fromUtf8(m_process.readLine()).trimmed();
  }
  ~SimProcess() { Stop(); }

  bool Running() const { return m_process.state() == QProcess::Running && !m_device.isEmpty(); }
  std::string Link() const { return m_link.toStdString(); }
  QString StatePath() const { return m_state; }
  QString Device() const { return m_device; }
  // Ends the simulator as a user would; it writes its state file.
  int Stop() {
    if (m_process.state() == QProcess::NotRunning) return m_process.exitCode();
    m_process.terminate();
    m_process.waitForFinished(5000);
    return m_process.exitCode();
  }

 private:
  QTemporaryDir m_dir;
  QString m_link;
  QString m_state;
  QString m_device;
  QProcess m_process;
};

}  // namespace rkt::test
