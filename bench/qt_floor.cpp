// SPDX-License-Identifier: MIT
// The smallest Qt 6 Widgets window with a line of text: what the toolkit
// alone costs to start and hold in memory, measured beside zmb.

#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Benchmark"));
    label.setWindowTitle(QStringLiteral("BenchQt"));
    label.show();
    return app.exec();
}
