// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the benchmarks' large data.json: 10,000 conversations (about 50 MB) and, second in
// the list, one conversation of 2,000 messages.
//   corvane_gendata FOLDER [LONG_MESSAGES]
// Point the program at it with XDG_DATA_HOME=<parent of FOLDER's "Corvane"> (Linux).
#include "largedata.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: corvane_gendata FOLDER [LONG_MESSAGES=2000]\n");
        return 2;
    }
    const int longMessages = args.size() == 3 ? args.at(2).toInt() : 2000;
    const qint64 size = LargeData::write(args.at(1), LargeData::generate(longMessages));
    if (size < 0) {
        std::fprintf(stderr, "cannot write %s/data.json\n", qPrintable(args.at(1)));
        return 1;
    }
    std::printf("%s/data.json: %lld bytes\n", qPrintable(args.at(1)), size);
    return 0;
}
