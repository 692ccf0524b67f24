// tavrel-tables: creates the three table files of Tavrel in a folder, empty
// or filled with a small demo set.
//
//   tavrel-tables create DIR
//   tavrel-tables demo DIR

#include "demo_tables.h"
#include "data/errors.h"
#include "data/table_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

namespace {

int usage() {
    QTextStream(stderr) << "usage: tavrel-tables create DIR\n"
                           "       tavrel-tables demo DIR\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 || (args[1] != QLatin1String("create") && args[1] != QLatin1String("demo")))
        return usage();
    const QString dir = args[2];
    QTextStream out(stdout);
    try {
        if (!QDir().mkpath(dir))
            throw data::EngineError(QStringLiteral("Cannot create the folder \"%1\".").arg(dir));
        if (args[1] == QLatin1String("demo"))
            fillDemoTables(dir);
        else
            data::createTableFiles(dir);
        out << "Created shoes.db, dd.db and xdtj.db in " << QDir(dir).absolutePath() << "\n";
    } catch (const data::EngineError& e) {
        QTextStream(stderr) << "tavrel-tables: " << e.message() << "\n";
        return 1;
    }
    return 0;
}
