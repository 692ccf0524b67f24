#include "catalogue/material_window.h"

#include "window_kit/window_look.h"

#include "window_kit/status_panels.h"

#include <QVBoxLayout>

TaForm10YL::TaForm10YL(QWidget* parent)
    : QWidget(parent, kit::fixedWindowFlags()) {
    setObjectName(QStringLiteral("aForm10YL"));
    setWindowTitle(QStringLiteral("材料用量快速输入"));
    setFixedSize(426, 566);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch(1);
    sBar = new kit::StatusPanels({50}, this);
    layout->addWidget(sBar);
}
