#include "window_kit/write_rights.h"

#include "data/core/errors.h"
#include "data/core/store.h"
#include "window_kit/fault_texts.h"

#include <QEvent>
#include <QVariant>
#include <QWidget>

namespace kit {

namespace {

// Puts the control back to disabled whenever something enables it.
class Bar : public QObject {
public:
    explicit Bar(QWidget* control) : QObject(control), control_(control) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == control_ && event->type() == QEvent::EnabledChange && control_->isEnabled())
            control_->setEnabled(false);
        return false;
    }

private:
    QWidget* control_;
};

}  // namespace

QString mayNotChangeText(const QStringList& fileNames) {
    QStringList captions;
    for (const QString& name : fileNames)
        captions << tableCaption(name);
    return QStringLiteral("这台电脑的数据库账号只能查看%1，不能修改。如需修改，请找管理数据库服务器的人员。")
        .arg(captions.join(QStringLiteral("和")));
}

QStringList tablesBarred(data::Store& store, const QStringList& fileNames) {
    QStringList barred;
    try {
        for (const QString& name : fileNames)
            if (!store.mayWrite(name))
                barred << name;
    } catch (const data::EngineError&) {
        return {};
    }
    return barred;
}

void barControl(QWidget* control, const QString& why) {
    if (!control)
        return;
    if (!control->property("tavrelBarred").toBool()) {
        control->setProperty("tavrelBarred", true);
        control->installEventFilter(new Bar(control));
    }
    control->setEnabled(false);
    control->setToolTip(why);
}

bool barUnlessWritable(data::Store& store, const QStringList& fileNames, const QList<QWidget*>& controls) {
    const QStringList barred = tablesBarred(store, fileNames);
    if (barred.isEmpty())
        return false;
    for (QWidget* control : controls)
        barControl(control, mayNotChangeText(barred));
    return true;
}

}  // namespace kit
