// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>

class QWidget;

namespace Zimbrel {

// Layouts are given in twips (1440 to the inch) and converted with the
// widget's logical DPI, so a window keeps its size in inches on any screen.
int twipsToPixels(int twips, int dpi);

void setGeometryInTwips(QWidget *widget, int left, int top, int width, int height);
void setFixedSizeInTwips(QWidget *widget, int width, int height);

} // namespace Zimbrel
