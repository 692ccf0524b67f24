#pragma once

#include <QWidget>

namespace kit {
class StatusPanels;
}

// "材料用量快速输入": an empty window with a status bar of two panels.
class TaForm10YL : public QWidget {
    Q_OBJECT

public:
    explicit TaForm10YL(QWidget* parent = nullptr);

    kit::StatusPanels* sBar = nullptr;
};
