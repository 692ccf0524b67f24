#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Where the program file lies and what the folders around it allow.
struct ProgramLayout {
    QString programDir;        // the folder of the program file, ending in '/'
    bool programDirWritable = false;
    // "<prefix>/share/tavrel/" when the program file lies in "<prefix>/bin/"
    // of an installed tree (a system install or an unpacked package); it holds
    // the files the package ships for the program folder. Empty otherwise.
    QString sharedDir;
    QString userDataDir;       // the user's own data folder, ending in '/'
};

// The user's data folder of the program: "Tavrel" in the desktop's data
// folder (~/.local/share/Tavrel/), ending in '/'.
QString userDataFolder();

// Looks at the folder of a program file: whether it can be written and
// whether it belongs to an installed tree.
ProgramLayout describeProgramLayout(const QString& programDir, const QString& userDataDir);

// The folder that holds the files and folders kept beside the program file:
// the program's own folder in an unpacked build that can be written, the
// user's data folder for an installed program or a folder that cannot be
// written.
QString chooseProgramFolder(const ProgramLayout& layout);

// chooseProgramFolder(), and when that is the user's data folder: creates it
// and copies into it what the installed tree ships and the user does not
// have yet. Returns the chosen folder.
QString settleProgramFolder(const ProgramLayout& layout);

// Copies every file below `from` to the same relative path below `to` where
// no file of that name exists yet; a file the user already has is never
// replaced. Returns the relative paths copied. Throws FileError when a copy
// fails.
QStringList copyMissingFiles(const QString& from, const QString& to);

}  // namespace platform
