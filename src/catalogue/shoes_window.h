#pragma once

#include "data/engine/query.h"
#include "dbui/follow_timer.h"
#include "window_kit/window_registry.h"

#include <QWidget>

class QFrame;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QToolButton;

namespace kit {
class StatusPanels;
}
namespace dbui {
class DataSource;
class DbGrid;
class DbMemo;
class DbNavigator;
}
namespace catalogue {
class PressBar;
enum class SearchField;
}

// "鞋底型号表": the sole-model catalogue "shoes.db", its searches and bulk
// delete, and the list of ordered models and colours it does not hold. Its
// query is the one query over the catalogue; the unregistered-models scan
// and the sole assignment use it for their lookups.
class TAForm2shoes : public QWidget {
    Q_OBJECT

public:
    explicit TAForm2shoes(kit::WindowRegistry& windows, QWidget* parent = nullptr);

    data::Query* Query1 = nullptr;
    dbui::DataSource* DataSource1 = nullptr;
    dbui::DbNavigator* DBNavigator1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;  // search terms, one per line
    dbui::DbGrid* DBGrid1 = nullptr;
    QFrame* Panel1 = nullptr;  // right-hand panel
    QLabel* PLCLGSTS = nullptr;
    dbui::DbMemo* DBMemo1 = nullptr;  // "备注" of the current record
    catalogue::PressBar* PLGFH = nullptr;
    catalogue::PressBar* PLWDJ = nullptr;
    QListWidget* LISTNO = nullptr;  // the unregistered models and colours
    kit::StatusPanels* sBar = nullptr;

    // Adds a line at the end of the unregistered list (the sole assignment's
    // model:colour:pairs:batch lines).
    void addUnregisteredLine(const QString& line);

    // The height of the remark box for a right-hand panel of this height:
    // half of it, truncated.
    static int remarkHeight(int panelHeight) { return panelHeight / 2; }

    void Query1BeforePost(data::Query& query);
    data::Query::PostErrorAction Query1PostError(data::Query& query, const data::EngineError& error);
    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton3Click();
    void ToolButton6Click();
    void ToolButton8Click();
    void ToolButtonCXClick();  // "撤销"
    void DBMemo1DblClick();
    void FormShow();
    void FormResize();
    void PLGFHMouseDown();
    void PLGFHMouseUp();
    void PLWDJMouseDown();
    void PLWDJMouseUp();
    void PLWDJClick();
    void LISTNODblClick();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolBar(class QVBoxLayout* layout);
    void buildRightPanel();
    void barWhatThisDeskMayNotChange();
    void placeRightPanelParts();
    void setRemarkHeight(int height);
    void search(catalogue::SearchField field);
    void setLookupsRunning(bool running);
    void setOrderLoopRunning(bool running);
    bool orderLoopRunning() const;
    void followOrderQuery();
    void showPendingLines();

    kit::WindowRegistry& windows_;
    QList<QWidget*> walkingCommands_;  // disabled while a bulk loop uses the query
    int remarkHeight_ = 0;
    bool shownBefore_ = false;
    bool followingOrders_ = false;
    // Lines added while a loop looks orders up in the catalogue reach the
    // list a few times a second, many at once.
    QStringList pendingLines_;
    std::unique_ptr<dbui::FollowTimer> pendingLinesTimer_;
};
