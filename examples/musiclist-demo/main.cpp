// SPDX-License-Identifier: MIT
#include "MusicListDemo.h"

#include <QApplication>

// musiclist-demo [FOLDER]: FOLDER holds sounds/ and numbers/ (by default the
// build's own, beside zmb).
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    MusicListDemo demo(arguments.size() > 1 ? arguments.at(1) : QStringLiteral(ZIMBREL_DATA_DIR));
    demo.show();
    return app.exec();
}
