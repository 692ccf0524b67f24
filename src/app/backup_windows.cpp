#include "app/backup_windows.h"

#include "backup/restore_backup.h"
#include "platform/dialogs.h"
#include "platform/error_display.h"
#include "platform/files.h"
#include "window_kit/shared_messages.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

namespace app {

namespace {

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(caption);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

BackupSettingsBox::BackupSettingsBox(QString dataFolder, QWidget* parent)
    : QDialog(parent), dataFolder_(std::move(dataFolder)) {
    setObjectName(QStringLiteral("BackupSettings"));
    setWindowTitle(QStringLiteral("备份设置"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("备份文件夹（最好在另一个磁盘或网络驱动器上；每个数据文件夹用自己的备份文件夹）："), this);
    layout->addWidget(label);
    folderEdit = new QLineEdit(QDir::toNativeSeparators(backup::backupRoot(dataFolder_)), this);
    folderEdit->setObjectName(QStringLiteral("BackupFolder"));
    folderEdit->setAccessibleName(QStringLiteral("备份文件夹"));
    folderEdit->setMinimumWidth(420);
    label->setBuddy(folderEdit);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folderEdit, 1);
    chooseButton = button(this, "ChooseFolder", QStringLiteral("选择…"));
    folderRow->addWidget(chooseButton);
    layout->addLayout(folderRow);
    auto* buttons = new QHBoxLayout;
    defaultButton = button(this, "DefaultFolder", QStringLiteral("用数据文件夹中的“备份”"));
    okButton = button(this, "OK", QStringLiteral("确定"));
    cancelButton = button(this, "Cancel", QStringLiteral("取消"));
    okButton->setDefault(true);
    buttons->addWidget(defaultButton);
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);
    connect(defaultButton, &QPushButton::clicked, this, [this] {
        folderEdit->setText(QDir::toNativeSeparators(backup::defaultBackupRoot(dataFolder_)));
    });
    connect(chooseButton, &QPushButton::clicked, this, &BackupSettingsBox::chooseFolder);
    connect(okButton, &QPushButton::clicked, this, &BackupSettingsBox::accept);
    connect(cancelButton, &QPushButton::clicked, this, &BackupSettingsBox::reject);
}

void BackupSettingsBox::chooseFolder() {
    const QString chosen = platform::dialogs().chooseFolder(this, QStringLiteral("选择备份文件夹"),
                                                           QDir::fromNativeSeparators(folderEdit->text().trimmed()));
    if (!chosen.isEmpty())
        folderEdit->setText(QDir::toNativeSeparators(chosen));
}

void BackupSettingsBox::accept() {
    const QString chosen = QDir::cleanPath(QDir::fromNativeSeparators(folderEdit->text().trimmed()));
    const bool isDefault = chosen.isEmpty() || chosen == QDir::cleanPath(backup::defaultBackupRoot(dataFolder_));
    const QString folder = isDefault ? backup::defaultBackupRoot(dataFolder_) : chosen;
    if (!platform::ensureFolder(folder) || !QFileInfo(folder).isWritable()) {
        platform::dialogs().error(this,
                                  QStringLiteral("文件夹“%1”建不起来或不能写入，备份设置没有改变。\n"
                                                 "请检查这个磁盘或网络驱动器是否连接，或换一个文件夹。")
                                      .arg(QDir::toNativeSeparators(folder)),
                                  kit::noticeCaption());
        return;
    }
    if (platform::runGuarded([&] { backup::chooseBackupRoot(dataFolder_, isDefault ? QString() : folder); }))
        QDialog::accept();
}

RestoreBackupWindow::RestoreBackupWindow(QString dataFolder, std::function<void(const backup::BackupEntry&)> restore,
                                         QWidget* parent)
    : QDialog(parent), dataFolder_(std::move(dataFolder)), restore_(std::move(restore)) {
    setObjectName(QStringLiteral("RestoreBackup"));
    setWindowTitle(QStringLiteral("恢复备份"));
    resize(640, 380);
    auto* layout = new QVBoxLayout(this);
    list = new QTableWidget(0, 6, this);
    list->setObjectName(QStringLiteral("BackupList"));
    list->setAccessibleName(QStringLiteral("备份"));
    list->setHorizontalHeaderLabels({QStringLiteral("日期"), QStringLiteral("时间"), QStringLiteral("种类"),
                                     QStringLiteral("鞋底型号表"), QStringLiteral("订单表"), QStringLiteral("鞋底统计表")});
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    list->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(list);
    auto* buttons = new QHBoxLayout;
    restoreButton = button(this, "Restore", QStringLiteral("恢复"));
    settingsButton = button(this, "Settings", QStringLiteral("备份设置"));
    closeButton = button(this, "Close", QStringLiteral("关闭"));
    buttons->addWidget(restoreButton);
    buttons->addWidget(settingsButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    connect(restoreButton, &QPushButton::clicked, this, &RestoreBackupWindow::restoreChosen);
    connect(list, &QTableWidget::cellDoubleClicked, this, &RestoreBackupWindow::restoreChosen);
    connect(settingsButton, &QPushButton::clicked, this, &RestoreBackupWindow::openSettings);
    connect(closeButton, &QPushButton::clicked, this, &RestoreBackupWindow::reject);
    fill();
}

void RestoreBackupWindow::fill() {
    backups_ = backup::listBackups(backup::backupRoot(dataFolder_));
    list->setRowCount(int(backups_.size()));
    int row = 0;
    for (const backup::BackupEntry& b : backups_) {
        const backup::Manifest& m = b.manifest;
        const QStringList cells{m.time.toString(QStringLiteral("yyyy-MM-dd")), m.time.toString(QStringLiteral("HH:mm")),
                                backup::kindText(m.kind), QString::number(m.rowsOf(QStringLiteral("shoes.db"))),
                                QString::number(m.rowsOf(QStringLiteral("dd.db"))),
                                QString::number(m.rowsOf(QStringLiteral("xdtj.db")))};
        for (int column = 0; column < cells.size(); ++column)
            list->setItem(row, column, new QTableWidgetItem(cells[column]));
        ++row;
    }
    list->resizeColumnsToContents();
    if (!backups_.empty())
        list->selectRow(0);
    restoreButton->setEnabled(!backups_.empty());
}

void RestoreBackupWindow::restoreChosen() {
    const int row = list->currentRow();
    if (row < 0 || row >= int(backups_.size()))
        return;
    const backup::BackupEntry chosen = backups_[std::size_t(row)];
    if (!platform::dialogs().question(this, backup::restoreQuestion(chosen), QStringLiteral("恢复备份")))
        return;
    accept();
    restore_(chosen);
}

void RestoreBackupWindow::openSettings() {
    BackupSettingsBox box(dataFolder_, this);
    if (box.exec() == QDialog::Accepted)
        fill();
}

}  // namespace app
