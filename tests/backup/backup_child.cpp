// A backup or a restore run in a process of its own, for the tests that
// kill it. When the operation reports the step named on the command line,
// the process prints "at <step>" and waits on its standard input, which
// never answers: the test kills it there by its pid.
//
//   backup_child backup DATA ROOT STEP
//   backup_child restore BACKUP DATA STEP

#include "backup/make_backup.h"
#include "backup/restore_backup.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5)
        return 2;
    const QString stopAt = args[4];
    backup::BackupOptions options;
    options.progress = [&stopAt](const QString& step) {
        if (step != stopAt)
            return;
        std::printf("at %s\n", step.toUtf8().constData());
        std::fflush(stdout);
        char line[16];
        while (std::fgets(line, sizeof line, stdin)) {
        }
    };
    if (args[1] == QLatin1String("backup")) {
        backup::backupTableFiles(args[2], args[3], backup::Kind::Daily, options);
        return 0;
    }
    if (args[1] == QLatin1String("restore")) {
        const std::optional<backup::Manifest> manifest = backup::readManifest(args[2]);
        if (!manifest)
            return 2;
        backup::restoreBackup({args[2], *manifest}, args[3], options.progress);
        return 0;
    }
    return 2;
}
