#pragma once

#include "window_kit/window_registry.h"

#include <QWidget>

class QLineEdit;
class QSpinBox;
class QToolButton;

namespace kit {
class StatusPanels;
}

// "订单输入": generates runs of batch numbers under one in-factory order number.
class TaForm4DDSR : public QWidget {
    Q_OBJECT

public:
    explicit TaForm4DDSR(kit::WindowRegistry& windows, QWidget* parent = nullptr);

    QLineEdit* EditCNDH = nullptr;
    QSpinBox* EditBegin = nullptr;
    QSpinBox* EditCount = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QToolButton* ToolButton2 = nullptr;
    kit::StatusPanels* sBar = nullptr;

    void ToolButton1Click();
    void ToolButton2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    kit::WindowRegistry& windows_;
};
