#include "output/line_wrap.h"

#include <algorithm>

namespace rkt {

namespace {

class Wrapper {
 public:
  Wrapper(const QString& text, double limit, const std::function<double(const QString&)>& width)
      : m_text(text), m_limit(limit), m_width(width) {}

  std::vector<QString> Run() {
    std::vector<QString> lines;
    QString line;
    const qsizetype size = m_text.size();
    for (qsizetype begin = 0; begin < size;) {
      // A word with the space after it.
      qsizetype end = m_text.indexOf(u' ', begin);
      end = end < 0 ? size : end + 1;
      qsizetype first = begin, last = end;  // the word without white space around it
      while (first < last && m_text[first].isSpace()) ++first;
      while (last > first && m_text[last - 1].isSpace()) --last;
      if (!line.isEmpty() && Wider(line, first, last)) {
        lines.push_back(line);
        line.clear();
      }
      // Pieces of a word too wide for a line of its own.
      for (qsizetype at = begin;; at += lines.back().size()) {
        qsizetype from = std::max(at, first);
        while (from < last && m_text[from].isSpace()) ++from;
        if (!line.isEmpty() || end - at <= 1 || !Wider({}, from, std::max(from, last))) {
          line += QStringView(m_text).mid(at, end - at);
          break;
        }
        lines.push_back(m_text.mid(at, Fit(at, end)));
      }
      begin = end;
    }
    if (!line.isEmpty() || lines.empty()) lines.push_back(line);
    return lines;
  }

 private:
  bool Fits(const QString& piece) const { return m_width(piece) <= m_limit; }
  QString Joined(const QString& head, qsizetype begin, qsizetype count) const {
    QString out = head;
    out.append(QStringView(m_text).mid(begin, count));
    return out;
  }

  // Whether head followed by text[begin, end) is wider than the limit. A
  // long piece is measured from its start in growing parts: once a part is
  // too wide, so is the whole.
  bool Wider(const QString& head, qsizetype begin, qsizetype end) const {
    for (qsizetype part = 2 * std::max<qsizetype>(m_lastFit, 32);; part *= 2) {
      if (end - begin <= part) return !Fits(Joined(head, begin, end - begin));
      if (!Fits(Joined(head, begin, part))) return true;
    }
  }

  // How many characters from at fit on a line (at least one, at most up to
  // end): searched from the last line's count, which is nearly always right
  // again, widening the steps, then halving them.
  qsizetype Fit(qsizetype at, qsizetype end) {
    const auto fits = [&](qsizetype n) { return Fits(m_text.mid(at, n)); };
    qsizetype low = 1, high = end - at + 1;  // low fits (or is 1), high does not (or is past the end)
    const qsizetype guess = std::clamp<qsizetype>(m_lastFit, 1, end - at);
    if (guess > 1) (fits(guess) ? low : high) = guess;
    for (qsizetype step = 1; low + step < high; step *= 2) {
      if (!fits(low + step)) {
        high = low + step;
        break;
      }
      low += step;
    }
    while (high - low > 1) {
      const qsizetype middle = low + (high - low) / 2;
      (fits(middle) ? low : high) = middle;
    }
    m_lastFit = low;
    return low;
  }

  const QString& m_text;
  double m_limit;
  const std::function<double(const QString&)>& m_width;
  qsizetype m_lastFit = 0;
};

}  // namespace

std::vector<QString> WrapText(const QString& text, double limit, const std::function<double(const QString&)>& width) {
  return Wrapper(text, limit, width).Run();
}

}  // namespace rkt
