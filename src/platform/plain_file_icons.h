#pragma once

#include <QFileIconProvider>

namespace platform {

// Icons and type names for the file dialog, told from a file's name and kind
// alone. Qt's own provider reads the first bytes of every file it lists to
// find its type; a read like that of a table file that SQLite holds open
// silently gives up the process's locks on it (the locks belong to the
// process and go with any descriptor of the file that is closed), after
// which another program reading the tables can take the log of our writes
// away from under us. So nothing the dialog lists is ever opened.
class PlainFileIcons : public QFileIconProvider {
public:
    QIcon icon(IconType type) const override;
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;
};

// The one provider every file dialog of the program uses.
PlainFileIcons& plainFileIcons();

}  // namespace platform
