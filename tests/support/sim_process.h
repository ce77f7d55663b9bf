#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <string>

namespace rkt::test {

// rkt410-sim on a pseudo-terminal (at linkPath, else in a new folder); SIGTERM when the object goes.
class SimProcess {
 public:
  explicit SimProcess(const QString& program, QStringList extra = {}, const QString& linkPath = {})
      : m_link(linkPath.isEmpty() ? m_dir.filePath("sensor") : linkPath) {
    m_process.start(program, QStringList{"--link", m_link, "--state", m_dir.filePath("state.json")} + extra);
    // Ready once it has printed its device name.
    while (m_process.state() != QProcess::NotRunning && !m_process.canReadLine()) m_process.waitForReadyRead(5000);
    m_ready = !m_process.readLine().trimmed().isEmpty();
  }
  ~SimProcess() {
    m_process.terminate();
    m_process.waitForFinished(5000);
  }
  bool Running() const { return m_process.state() == QProcess::Running && m_ready; }
  std::string Link() const { return m_link.toStdString(); }

 private:
  QTemporaryDir m_dir;
  QString m_link;
  bool m_ready = false;
  QProcess m_process;
};

}  // namespace rkt::test
