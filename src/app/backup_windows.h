#pragma once

#include "backup/backup_folders.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <functional>

namespace app {

// "备份设置": the folder the backups go to, chosen once and kept in the data
// folder; a second disk or a network drive keeps them safe from the first.
class BackupSettingsBox : public QDialog {
    Q_OBJECT

public:
    BackupSettingsBox(QString dataFolder, QWidget* parent = nullptr);

    QLineEdit* folderEdit = nullptr;
    QPushButton* chooseButton = nullptr;
    QPushButton* defaultButton = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

    // Keeps the folder typed in; a folder that cannot be made or written is
    // said and the box stays open.
    void accept() override;
    // The folder dialog, opened where the folder typed in is.
    void chooseFolder();

private:
    QString dataFolder_;
};

// "恢复备份": the backups with their date, time, kind and records; the one
// chosen is handed to restore() once the clerk has confirmed it.
class RestoreBackupWindow : public QDialog {
    Q_OBJECT

public:
    RestoreBackupWindow(QString dataFolder, std::function<void(const backup::BackupEntry&)> restore,
                        QWidget* parent = nullptr);

    QTableWidget* list = nullptr;
    QPushButton* restoreButton = nullptr;
    QPushButton* settingsButton = nullptr;
    QPushButton* closeButton = nullptr;

    // Reads the backups again (after the settings changed).
    void fill();
    const std::vector<backup::BackupEntry>& backups() const { return backups_; }
    void restoreChosen();
    void openSettings();

private:
    QString dataFolder_;
    std::function<void(const backup::BackupEntry&)> restore_;
    std::vector<backup::BackupEntry> backups_;
};

}  // namespace app
