#pragma once

#include "orders/order_search.h"
#include "window_kit/window_registry.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

namespace kit {
class StatusPanels;
}

// "综合搜索": chooses which orders the order window shows, from ticked
// criteria or from a list of values, and loads the order grid's model choices.
class TaForm7SS : public QWidget {
    Q_OBJECT

public:
    explicit TaForm7SS(kit::WindowRegistry& windows, QWidget* parent = nullptr);

    QCheckBox* CBXPH = nullptr;
    QLineEdit* EditPH = nullptr;
    QCheckBox* CBXDH = nullptr;
    QLineEdit* EditDH = nullptr;
    QCheckBox* CBXCNXH = nullptr;
    QLineEdit* EditCNXH = nullptr;
    QCheckBox* CBXCNXH_DYU = nullptr;
    QCheckBox* CBXYS = nullptr;
    QLineEdit* EditYS = nullptr;
    QCheckBox* CBXWTJ = nullptr;
    QCheckBox* CBXYTJ = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QToolButton* TButS = nullptr;
    QToolButton* ToolButton3 = nullptr;
    QToolButton* TBUTclear = nullptr;
    QToolButton* ToolButton12 = nullptr;
    QToolButton* ToolButton13 = nullptr;
    QToolButton* ToolButton14 = nullptr;
    kit::StatusPanels* sB = nullptr;

    void FormShow();
    void TButSClick();
    void ToolButton3Click();
    void TBUTclearClick();
    void ToolButton12Click();
    void ToolButton13Click();
    void ToolButton14Click();

    orders::SearchCriteria criteria() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildCriteriaPanel();
    QWidget* buildListPanel();
    void listSearch(orders::ListSearchField field);
    void showCount(int records);
    void setSearchesEnabled(bool enabled);

    kit::WindowRegistry& windows_;
};
