#pragma once

#include "dbui/data_source.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <array>

class QToolButton;

namespace dbui {

// A row of buttons that move through and edit the records of a data source.
// Buttons are enabled by the query's state: first and prior not at the
// beginning, next and last not at the end, post and cancel only while a
// record is being edited or inserted, edit and delete only when there is a
// record.
class DbNavigator : public QWidget {
    Q_OBJECT

public:
    enum class Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    static constexpr int ButtonCount = 10;
    static QList<Button> allButtons();

    explicit DbNavigator(QWidget* parent = nullptr);

    DataSource* dataSource() const { return source_; }
    void setDataSource(DataSource* source);

    void setVisibleButtons(const QList<Button>& buttons);
    QList<Button> visibleButtons() const;
    // Tool tips in button order (first, prior, ... refresh); missing entries
    // keep the standard hint.
    void setHints(const QStringList& hints);
    QStringList hints() const;
    // Whether delete asks "Delete record?" first (it does by default).
    void setConfirmDelete(bool confirm) { confirmDelete_ = confirm; }
    bool confirmDelete() const { return confirmDelete_; }

    QToolButton* button(Button which) const;
    // Does what a click on the button does, whether it is visible or not.
    void click(Button which);

    // The confirmation text of the delete button.
    static QString deleteQuestion() { return QStringLiteral("Delete record?"); }

public slots:
    void updateButtons();

private:
    void run(Button which);

    QPointer<DataSource> source_;
    std::array<QToolButton*, ButtonCount> buttons_{};
    bool confirmDelete_ = true;
};

}  // namespace dbui
