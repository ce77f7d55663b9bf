#pragma once

#include <QPixmap>

namespace rkt {

// The picture shown while the program starts.
QPixmap StartPicture();

}  // namespace rkt
