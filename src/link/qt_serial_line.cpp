#include "link/qt_serial_line.h"

#include <QEventLoop>
#include <QSerialPortInfo>
#include <cerrno>
#include <utility>

#include "link/system_serial_line.h"

#if defined(Q_OS_UNIX)
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rkt::link {

std::unique_ptr<SerialLine> MakeSystemSerialLine() { return std::make_unique<QtSerialLine>(); }

namespace {

// Whether this user lacks the right to open the device. QSerialPort reports
// a port busy in another program as a permission error, too.
bool LacksPermission(const std::string& device) {
#if defined(Q_OS_UNIX)
  return ::access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
#else
  (void)device;
  return true;
#endif
}

// The group that owns a device file, or "" when it cannot be told.
std::string DeviceGroup(const std::string& device) {
#if defined(Q_OS_UNIX)
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0) return {};
  if (const group* g = ::getgrgid(st.st_gid)) return g->gr_name;
#else
  (void)device;
#endif
  return {};
}

}  // namespace

QtSerialLine::QtSerialLine() {
  m_deadlineTimer.setSingleShot(true);
  // A coarse timer may fire several milliseconds early or late; the receive
  // limit is meant to be exact.
  m_deadlineTimer.setTimerType(Qt::PreciseTimer);
  // A pulled adapter shows as a resource error; a hung-up line as a read
  // error that would repeat on every pass of the event loop while the
  // handle stays open. Either way the handle is lost.
  QObject::connect(&m_port, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
    if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError || e == QSerialPort::WriteError) Lose();
  });
}

void QtSerialLine::Lose() {
  if (m_lost || !m_port.isOpen()) return;
  m_lost = true;
  const int generation = m_generation;
  QMetaObject::invokeMethod(
      &m_port,
      [this, generation] {
        if (generation == m_generation && m_lost && m_port.isOpen()) m_port.close();
      },
      Qt::QueuedConnection);
  if (m_waiting) m_waiting->quit();
  ReportLost();
}

QtSerialLine::~QtSerialLine() { Close(); }

OpenResult QtSerialLine::Open(const std::string& name) {
  Close();
  OpenResult r;
  m_port.setPortName(QString::fromStdString(name));
  r.device = QSerialPortInfo(m_port).systemLocation().toStdString();
  if (r.device.empty()) r.device = name;
  m_port.setBaudRate(QSerialPort::Baud1200);
  m_port.setParity(QSerialPort::EvenParity);
  m_port.setDataBits(QSerialPort::Data8);
  m_port.setStopBits(QSerialPort::OneStop);
  if (m_port.open(QIODevice::ReadWrite)) {
    r.ok = true;
    return r;
  }
  r.error = m_port.errorString().toStdString();
  r.permissionDenied = m_port.error() == QSerialPort::PermissionError && LacksPermission(r.device);
  if (r.permissionDenied) r.group = DeviceGroup(r.device);
  m_port.clearError();
  return r;
}

void QtSerialLine::Close() {
  ++m_generation;
  m_lost = false;
  if (m_port.isOpen()) m_port.close();
  m_port.clearError();
}

void QtSerialLine::Write(std::span<const std::uint8_t> bytes) {
  if (!IsOpen()) return;
  m_port.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  // Hand the bytes to the driver now rather than on the next event-loop pass.
  m_port.flush();
}

std::vector<std::uint8_t> QtSerialLine::Read(int count) {
  std::vector<std::uint8_t> out;
  if (!IsOpen() || count <= 0) return out;
  const QByteArray data = m_port.read(count);
  out.assign(data.begin(), data.end());
  return out;
}

void QtSerialLine::DiscardInput() {
  if (!IsOpen()) return;
  // Qt's own buffer and the driver's: bytes the event loop has not fetched
  // yet must go too.
  m_port.readAll();
  m_port.clear(QSerialPort::Input);
}

bool QtSerialLine::WaitForBytes(int count, QDeadlineTimer deadline) {
  while (BytesAvailable() < count) {
    const qint64 left = deadline.remainingTime();
    if (left == 0 || m_interrupted || !IsOpen()) return false;
    QEventLoop loop;
    QObject::connect(&m_port, &QSerialPort::readyRead, &loop, &QEventLoop::quit);
    QObject::connect(&m_deadlineTimer, &QTimer::timeout, &loop, &QEventLoop::quit);
    // A vanished device (an adapter pulled out) ends the wait at once: Lose
    // quits the loop.
    QEventLoop* outer = std::exchange(m_waiting, &loop);
    m_deadlineTimer.start(static_cast<int>(left < 0 ? 24 * 3600 * 1000 : left));
    loop.exec();
    m_deadlineTimer.stop();
    m_waiting = outer;
    if (!IsOpen()) return false;
  }
  return true;
}

void QtSerialLine::Interrupt(bool on) {
  m_interrupted = on;
  if (on && m_waiting) m_waiting->quit();
}

}  // namespace rkt::link
