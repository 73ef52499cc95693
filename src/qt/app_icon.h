// The application icon: a small 4 x 4 grid of colour swatches drawn in code.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace hw {

QPixmap MakeAppIconPixmap(int size);
QIcon MakeAppIcon();

}  // namespace hw
