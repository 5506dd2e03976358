// SPDX-License-Identifier: MIT
#include "Twips.h"

#include <QWidget>

#include <cmath>

namespace Zimbrel {

int twipsToPixels(int twips, int dpi)
{
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

void setGeometryInTwips(QWidget *widget, int left, int top, int width, int height)
{
    const int dpiX = widget->logicalDpiX();
    const int dpiY = widget->logicalDpiY();
    widget->setGeometry(twipsToPixels(left, dpiX), twipsToPixels(top, dpiY),
                        twipsToPixels(width, dpiX), twipsToPixels(height, dpiY));
}

void setFixedSizeInTwips(QWidget *widget, int width, int height)
{
    widget->setFixedSize(twipsToPixels(width, widget->logicalDpiX()),
                         twipsToPixels(height, widget->logicalDpiY()));
}

} // namespace Zimbrel
