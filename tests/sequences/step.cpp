#include "step.h"

namespace seq {

const QStringList& sheetColumns() {
    static const QStringList columns = [] {
        QStringList c{QStringLiteral("批号"), QStringLiteral("鞋的型号"), QStringLiteral("颜色"), QStringLiteral("件数"),
                      QStringLiteral("双数")};
        for (int size = 33; size <= 48; ++size)
            c << QString::number(size);
        c << QStringLiteral("备注");
        return c;
    }();
    return columns;
}

namespace {

// Small pools, so that values meet: generated and imported batch numbers
// collide, models and colours find their catalogue rows or miss them.
const QStringList OrderNumbers{"100", "7", "A1", "100", "7", "0123", ""};
const QStringList Batches{"100001", "100002", "100003", "7001", "A1001", "B01", "B02", "c01"};
const QStringList Models{"X1", "X12", "A8", "x1", "", "X1"};
const QStringList Colours{"h", "H", "zy", "黑", "BLACK", "hbl", "白", "", "bl", "黑"};
const QStringList Soles{"D-1", "D-2", "", "D-1"};
const QStringList Suppliers{"鑫达", "宏发", "", "鑫达"};
const QStringList Cases{"", "0", "1", "2", "3", "1", "2"};
const QStringList SizeValues{"", "1", "2", "5", "12", "25", "0"};
const QStringList Remarks{"", "急", "", "备注1"};

struct Draw {
    std::mt19937_64& random;

    int below(int n) { return int(random() % std::uint64_t(n)); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random) < p; }
    const QString& from(const QStringList& pool) { return pool[below(int(pool.size()))]; }
    QString size() { return QString::number(33 + below(16)); }
    // TAVREL_SEQUENCE_NO_REFUSALS leaves out the remark the test trigger
    // refuses, when a known fault of refused posts hides the others.
    QString remark() {
        static const bool refusals = !qEnvironmentVariableIsSet("TAVREL_SEQUENCE_NO_REFUSALS");
        return refusals && chance(0.05) ? QStringLiteral("拒收") : from(Remarks);
    }
    QString cases() { return chance(0.04) ? QStringLiteral("2.5") : from(Cases); }

    SheetRow sheetRow() {
        SheetRow row(22);
        row[0] = from(Batches);
        row[1] = from(Models);
        row[2] = from(Colours);
        row[3] = cases();
        row[4] = chance(0.3) ? QStringLiteral("99") : QString();
        for (int i = below(4); i > 0; --i)
            row[5 + below(16)] = chance(0.03) ? QStringLiteral("2.5") : from(SizeValues);
        row[21] = remark();
        return row;
    }

    OrderFilter orderFilter() {
        OrderFilter f;
        const int kind = below(10);
        if (kind < 3)
            return f;
        if (kind < 7) {
            f.kind = OrderFilter::Kind::Combined;
            if (chance(0.3)) f.batch = from(Batches);
            if (chance(0.3)) f.orderNo = from(OrderNumbers);
            if (chance(0.3)) f.model = from(Models);
            f.modelFuzzy = chance(0.5);
            if (chance(0.3)) f.colour = from(Colours);
            if (chance(0.3)) (chance(0.5) ? f.counted : f.notCounted) = true;
            return f;
        }
        f.kind = OrderFilter::Kind::List;
        f.listField = below(3);
        const QStringList& pool = f.listField == 0 ? Batches : f.listField == 1 ? OrderNumbers : Models;
        for (int i = 1 + below(3); i > 0; --i)
            f.lines << from(pool);
        return f;
    }
};

Kind drawKind(Draw& d) {
    static const std::vector<std::pair<Kind, int>> weights{
        {Kind::Entry, 8},        {Kind::Import, 10},     {Kind::EditOrder, 8},   {Kind::Multiply, 4},
        {Kind::Divide, 4},       {Kind::ShiftUp, 3},     {Kind::ShiftDown, 3},   {Kind::MarkCounted, 5},
        {Kind::DeleteOrders, 3}, {Kind::SearchOrders, 10}, {Kind::AddShoe, 7},   {Kind::SearchShoes, 4},
        {Kind::DeleteShoes, 2},  {Kind::Scan, 3},        {Kind::AddListed, 4},   {Kind::AssignSoles, 4},
        {Kind::Aggregate, 5},    {Kind::Undo, 6}};
    int total = 0;
    for (const auto& [k, w] : weights)
        total += w;
    int at = d.below(total);
    for (const auto& [k, w] : weights) {
        if (at < w)
            return k;
        at -= w;
    }
    return Kind::SearchOrders;
}

bool writesOrdersOnly(Kind k) {
    switch (k) {
    case Kind::Entry: case Kind::Import: case Kind::EditOrder: case Kind::Multiply: case Kind::Divide:
    case Kind::ShiftUp: case Kind::ShiftDown: case Kind::MarkCounted: case Kind::DeleteOrders:
        return true;
    default:
        return false;
    }
}

bool walksRows(Kind k) {
    switch (k) {
    case Kind::Import: case Kind::Multiply: case Kind::Divide: case Kind::MarkCounted: case Kind::DeleteOrders:
    case Kind::DeleteShoes: case Kind::Scan: case Kind::AssignSoles: case Kind::Aggregate:
        return true;
    default:
        return false;
    }
}

}  // namespace

Step drawStep(std::mt19937_64& random, bool server) {
    Draw d{random};
    Step s;
    s.kind = drawKind(d);
    s.pick = d.below(1000);
    switch (s.kind) {
    case Kind::Entry:
        s.orderNo = d.from(OrderNumbers);
        s.start = 1 + d.below(4);
        s.count = d.below(4);
        break;
    case Kind::Import:
        for (int i = 1 + d.below(4); i > 0; --i)
            s.rows.push_back(d.sheetRow());
        if (d.chance(0.1))
            s.failAtRow = 2 + d.below(int(s.rows.size()) + 1);
        break;
    case Kind::EditOrder:
        for (int i = 1 + d.below(3); i > 0; --i) {
            switch (d.below(7)) {
            case 0: s.edits.push_back({QStringLiteral("颜色"), d.from(Colours)}); break;
            case 1: s.edits.push_back({QStringLiteral("件数"), d.cases()}); break;
            case 2: s.edits.push_back({d.size(), d.from(SizeValues)}); break;
            case 3: s.edits.push_back({QStringLiteral("备注"), d.remark()}); break;
            case 4: s.edits.push_back({QStringLiteral("已统计"), d.chance(0.5) ? QStringLiteral("True") : QStringLiteral("False")}); break;
            case 5: s.edits.push_back({QStringLiteral("批号"), d.from(Batches)}); break;
            default: s.edits.push_back({QStringLiteral("鞋的型号"), d.from(Models)}); break;
            }
        }
        break;
    case Kind::SearchOrders:
        s.orderFilter = d.orderFilter();
        break;
    case Kind::AddShoe:
        s.model = d.from(Models);
        s.colour = d.from(Colours);
        s.sole = d.from(Soles);
        s.supplier = d.from(Suppliers);
        break;
    case Kind::SearchShoes:
        s.shoeFilter.all = d.chance(0.4);
        s.shoeFilter.bySole = d.chance(0.5);
        for (int i = s.shoeFilter.all ? 0 : 1 + d.below(2); i > 0; --i)
            s.shoeFilter.terms << d.from(s.shoeFilter.bySole ? Soles : Models);
        break;
    default:
        break;
    }
    if (!server && writesOrdersOnly(s.kind)) {
        if (d.chance(0.008))
            s.fault = Fault::TableLocked;
        else if (d.chance(0.03))
            s.fault = Fault::DiskFull;
        else if (d.chance(0.01))
            s.fault = Fault::LogRemovedElsewhere;
    }
    if (server && walksRows(s.kind) && d.chance(0.04)) {
        s.fault = Fault::ServerGone;
        s.faultAt = 1 + d.below(4);
    }
    return s;
}

namespace {

QString kindName(Kind k) {
    switch (k) {
    case Kind::Entry: return QStringLiteral("订单输入");
    case Kind::Import: return QStringLiteral("订单导入");
    case Kind::EditOrder: return QStringLiteral("改订单");
    case Kind::Multiply: return QStringLiteral("件数相乘");
    case Kind::Divide: return QStringLiteral("除以件数");
    case Kind::ShiftUp: return QStringLiteral("配码前移");
    case Kind::ShiftDown: return QStringLiteral("配码后移");
    case Kind::MarkCounted: return QStringLiteral("标为统计");
    case Kind::DeleteOrders: return QStringLiteral("删除订单");
    case Kind::SearchOrders: return QStringLiteral("搜索订单");
    case Kind::AddShoe: return QStringLiteral("加鞋底型号");
    case Kind::SearchShoes: return QStringLiteral("搜索鞋底型号");
    case Kind::DeleteShoes: return QStringLiteral("删除鞋底型号");
    case Kind::Scan: return QStringLiteral("未登记列表");
    case Kind::AddListed: return QStringLiteral("从未登记列表加");
    case Kind::AssignSoles: return QStringLiteral("调用鞋底");
    case Kind::Aggregate: return QStringLiteral("鞋底统计");
    case Kind::Undo: return QStringLiteral("撤销");
    }
    return {};
}

QString quoted(const QString& t) { return QLatin1Char('"') + t + QLatin1Char('"'); }

QString describeFilter(const OrderFilter& f) {
    switch (f.kind) {
    case OrderFilter::Kind::All: return QStringLiteral("全部");
    case OrderFilter::Kind::NotCounted: return QStringLiteral("未统计");
    case OrderFilter::Kind::Combined: {
        QStringList c;
        if (!f.batch.isEmpty()) c << QStringLiteral("批号=") + quoted(f.batch);
        if (!f.orderNo.isEmpty()) c << QStringLiteral("单号=") + quoted(f.orderNo);
        if (!f.model.isEmpty()) c << QStringLiteral("型号") + (f.modelFuzzy ? QStringLiteral("~") : QStringLiteral("=")) + quoted(f.model);
        if (!f.colour.isEmpty()) c << QStringLiteral("颜色~") + quoted(f.colour);
        if (f.counted) c << QStringLiteral("已统计");
        if (f.notCounted) c << QStringLiteral("未统计");
        return QStringLiteral("综合[") + c.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    case OrderFilter::Kind::List: {
        QStringList lines;
        for (const QString& l : f.lines)
            lines << quoted(l);
        return QStringList{"批号", "单号", "型号"}[f.listField] + QStringLiteral("列表[") + lines.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    }
    return {};
}

}  // namespace

QString Step::describe() const {
    QString text = kindName(kind);
    switch (kind) {
    case Kind::Entry:
        text += QStringLiteral(" 单号=%1 开始=%2 行数=%3").arg(quoted(orderNo)).arg(start).arg(count);
        break;
    case Kind::Import:
        for (std::size_t i = 0; i < rows.size(); ++i) {
            QStringList cells;
            for (int c = 0; c < rows[i].size(); ++c)
                if (!rows[i][c].isEmpty())
                    cells << sheetColumns()[c] + QLatin1Char('=') + quoted(rows[i][c]);
            text += QStringLiteral("\n      第%1行: ").arg(i + 2) + cells.join(QLatin1Char(' '));
        }
        if (failAtRow)
            text += QStringLiteral("\n      表格在第%1行读不出").arg(failAtRow);
        break;
    case Kind::EditOrder:
    case Kind::ShiftUp:
    case Kind::ShiftDown:
        text += QStringLiteral(" 第%1行(模)").arg(pick);
        for (const auto& [name, value] : edits)
            text += QLatin1Char(' ') + name + QLatin1Char('=') + quoted(value);
        break;
    case Kind::SearchOrders:
        text += QLatin1Char(' ') + describeFilter(orderFilter);
        break;
    case Kind::AddShoe:
        text += QStringLiteral(" %1 %2 %3 %4").arg(quoted(model), quoted(colour), quoted(sole), quoted(supplier));
        break;
    case Kind::SearchShoes:
        if (shoeFilter.all)
            text += QStringLiteral(" 刷新");
        else
            text += (shoeFilter.bySole ? QStringLiteral(" 鞋底型号[") : QStringLiteral(" 鞋的型号[")) +
                    shoeFilter.terms.join(QStringLiteral(", ")) + QLatin1Char(']');
        break;
    case Kind::AddListed:
        text += QStringLiteral(" 第%1条(模)").arg(pick);
        break;
    case Kind::Undo:
        text += QLatin1Char(' ') + QStringList{"订单表", "鞋底型号表", "鞋底统计"}[pick % 3];
        break;
    default:
        break;
    }
    switch (fault) {
    case Fault::None: break;
    case Fault::TableLocked: text += QStringLiteral("  〔dd.db 被另一连接锁住〕"); break;
    case Fault::DiskFull: text += QStringLiteral("  〔dd.db 磁盘满〕"); break;
    case Fault::ServerGone: text += QStringLiteral("  〔第%1轮事件时断开服务器连接〕").arg(faultAt); break;
    case Fault::LogRemovedElsewhere: text += QStringLiteral("  〔dd.db 被程序自己读过, 另一程序用完后删了它的日志〕"); break;
    case Fault::TransactionLeftOpen: text += QStringLiteral("  〔dd.db 的连接留在事务中〕"); break;
    }
    return text;
}

QString describe(const std::vector<Step>& steps) {
    QString text;
    for (std::size_t i = 0; i < steps.size(); ++i)
        text += QStringLiteral("  %1. ").arg(i + 1) + steps[i].describe() + QLatin1Char('\n');
    return text;
}

}  // namespace seq
