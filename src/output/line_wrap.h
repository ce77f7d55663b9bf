#pragma once

#include <QString>
#include <functional>
#include <vector>

// Breaking a paragraph into printed lines.
namespace rkt {

// Cuts text into lines no wider than limit: after each space, and inside a
// word only when the word alone is wider than a line (then as many
// characters as fit, at least one, go on each line). A trailing space may
// hang over the limit. width gives a piece's width; it must not shrink when
// the piece grows, as a font's advance does not. Only pieces of about a
// line's length are measured, a few per line, so a very long word costs
// time in proportion to its length.
std::vector<QString> WrapText(const QString& text, double limit, const std::function<double(const QString&)>& width);

}  // namespace rkt
