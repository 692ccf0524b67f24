#pragma once

#include "backup/backup_folders.h"
#include "window_kit/window_registry.h"

#include <QFrame>
#include <QImage>
#include <QToolButton>
#include <QWidget>

namespace kit {
class StatusPanels;
}

namespace app {

// Where the inner panel sits when centred in the outer one: half the spare
// width and height, truncated toward zero.
QPoint centredPosition(const QSize& outer, const QSize& inner);

// The framed panel that shows the data-flow picture, unscaled from its
// top-left corner inside a 2-pixel bevel and clipped to the inside.
class PicturePanel : public QFrame {
    Q_OBJECT

public:
    explicit PicturePanel(QWidget* parent = nullptr);
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};
}  // namespace app

// The main window: toolbar and picture hot spots open the table windows, the
// help button opens the folder of help documents, and "恢复备份" lists the
// backups of the tables to choose one to go back to.
class TaForm1 : public QWidget {
    Q_OBJECT

public:
    static constexpr int ClientWidth = 787;
    static constexpr int ClientHeight = 544;

    explicit TaForm1(kit::WindowRegistry& windows, QWidget* parent = nullptr);

    QFrame* PBLACK = nullptr;
    app::PicturePanel* PLCCD = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    kit::StatusPanels* sBar = nullptr;

    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton4Click();
    void ToolButton10Click();
    void RestoreBackupClick();
    void FormShow();
    void FormResize();

    // The folder of help documents beside the program file.
    static QString helpFolder();

    // What the status bar says of the backups.
    void showBackupText(const QString& text);

signals:
    // The clerk chose a backup and confirmed the restore: the program
    // closes the tables, restores and opens them again.
    void restoreChosen(const backup::BackupEntry& backup);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void centrePicturePanel();

    kit::WindowRegistry& windows_;
};
