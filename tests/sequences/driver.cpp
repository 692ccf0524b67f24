#include "driver.h"

#include "model.h"
#include "readers.h"
#include "real_tables.h"

#include <iostream>
#include <set>

namespace seq {

namespace {

struct Stored {
    QStringList orders, shoes, stats;
    bool operator==(const Stored&) const = default;
};

Stored readStored(StoredRows& reader) { return {reader.rows(OrdersTable), reader.rows(ShoesTable), reader.rows(StatsTable)}; }
Stored expected(const Model& m) { return {m.renderedOrders(), m.renderedShoes(), m.renderedStats()}; }

// The rows that differ, table by table: what the model holds and the store
// lacks ("-") and the other way round ("+").
QString tableDifference(const Stored& model, const Stored& store) {
    QString text;
    auto compare = [&](const char* name, const QStringList& m, const QStringList& s) {
        if (m == s)
            return;
        text += QStringLiteral("    %1 (模型 %2 行, 库中 %3 行):\n").arg(QString::fromUtf8(name)).arg(m.size()).arg(s.size());
        std::multiset<QString> ms(m.begin(), m.end()), ss(s.begin(), s.end());
        for (const QString& row : m)
            if (ss.count(row) == 0)
                text += QStringLiteral("      - ") + row + QLatin1Char('\n');
        for (const QString& row : s)
            if (ms.count(row) == 0)
                text += QStringLiteral("      + ") + row + QLatin1Char('\n');
        if (ms == ss)
            text += QStringLiteral("      (同样的行, 次序不同)\n");
    };
    compare("dd.db", model.orders, store.orders);
    compare("shoes.db", model.shoes, store.shoes);
    compare("xdtj.db", model.stats, store.stats);
    return text;
}

QString outcomeDifference(const Outcome& m, const RealOutcome& r, bool exact) {
    QStringList diffs;
    if (m.failed != r.failed)
        diffs << QStringLiteral("结束时出错: 模型 %1, 程序 %2 %3").arg(m.failed).arg(r.failed).arg(r.error);
    if (exact && m.duplicateMessages != r.duplicateMessages)
        diffs << QStringLiteral("重复提示: 模型 %1, 程序 %2").arg(m.duplicateMessages).arg(r.duplicateMessages);
    if (exact && m.importFailures != r.importFailures)
        diffs << QStringLiteral("导入异常提示: 模型 %1, 程序 %2").arg(m.importFailures).arg(r.importFailures);
    if (m.undoCommand != r.undoCommand)
        diffs << QStringLiteral("可撤销的命令: 模型 “%1”, 程序 “%2”").arg(m.undoCommand, r.undoCommand);
    if (m.undoDeclined != r.undoDeclined)
        diffs << QStringLiteral("之后被修改过: 模型 %1, 程序 %2").arg(m.undoDeclined).arg(r.undoDeclined);
    return diffs.join(QStringLiteral("; "));
}

bool stopPointUnknown(Fault f) { return f == Fault::DiskFull || f == Fault::ServerGone || f == Fault::LogRemovedElsewhere; }

// Faults after which a write may end the step with an error that names the
// loss, at any point.
bool errorMayEndAnywhere(Fault f) { return f == Fault::ServerGone || f == Fault::LogRemovedElsewhere; }

}  // namespace

std::optional<Finding> playSequence(Store store, const std::vector<Step>& steps, PlayCounts* counts) {
    RealTables real(store);
    Model model(store == Store::Files);
    const std::unique_ptr<StoredRows> reader =
        store == Store::Files ? readTableFiles(real.location()) : readServer(real.location());
    const bool trace = qEnvironmentVariableIsSet("TAVREL_SEQUENCE_TRACE");
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        auto found = [&](const QString& what) { return Finding{int(i), what}; };
        const RealOutcome r = real.play(step);
        if (counts) {
            ++counts->steps;
            counts->faults += step.fault != Fault::None;
            counts->endedBadly += r.failed;
        }
        if (trace)
            std::cerr << i + 1 << ". " << step.describe().toStdString() << (r.failed ? "  => 出错 " : "") << r.error.toStdString()
                      << std::endl;
        Stored stored = readStored(*reader);
        Outcome m;
        if (stopPointUnknown(step.fault)) {
            // The store gave up at a write nobody can name beforehand: what
            // it kept must be what the rules keep when the command stops at
            // some write, every write before it stored. Where the step
            // reports no error, every write must be stored. (A lost server
            // connection cannot tell which of a loop's last writes reached
            // the server; what it must not do is drop them silently.)
            const Model before = model;
            std::optional<Model> match;
            // A lost connection may also end a command at a read, after its
            // last write: then the step ends with an error, whatever the
            // model would have written still being all there.
            const bool errorAnywhere = errorMayEndAnywhere(step.fault) && r.failed;
            for (int budget = -1; budget <= before.writesOf(step) && !match; ++budget) {
                Model candidate = before;
                Outcome out = candidate.play(step, budget);
                if ((out.failed == r.failed || errorAnywhere) && expected(candidate) == stored) {
                    out.failed = r.failed;
                    match = candidate;
                    m = out;
                }
            }
            if (!match) {
                m = model.play(step);
            } else {
                model = *match;
                // Where a read was cut short, the list holds what was found
                // before it.
                if (errorAnywhere)
                    model.takeUnregisteredList(real.unregisteredList());
            }
        } else {
            m = model.play(step, step.fault == Fault::TableLocked ? 0 : -1);
        }
        const QString outcome = outcomeDifference(m, r, !stopPointUnknown(step.fault));
        if (!outcome.isEmpty())
            return found(outcome);
        if (trace)
            std::cerr << "   dd " << stored.orders.size() << " shoes " << stored.shoes.size() << " xdtj " << stored.stats.size()
                      << " shown " << real.orderResultBatches().size() << std::endl;
        if (expected(model) != stored)
            return found(QStringLiteral("存储的行与模型不同:\n") + tableDifference(expected(model), stored));
        try {
            if (r.reconnected)
                model.reopenResults();
            if (m.failed)
                model.showEverything();
            if (r.failed)
                real.showEverything();
        } catch (const std::exception& e) {
            return found(QStringLiteral("出错之后再显示全部也失败: ") + QString::fromUtf8(e.what()));
        }
        const QStringList modelShown = model.orderResultBatches(), realShown = real.orderResultBatches();
        if (modelShown != realShown)
            return found(QStringLiteral("订单表显示的行: 模型 [%1], 程序 [%2]")
                             .arg(modelShown.join(QLatin1Char(',')), realShown.join(QLatin1Char(','))));
        if (model.unregisteredList() != real.unregisteredList())
            return found(QStringLiteral("未登记列表: 模型 [%1], 程序 [%2]")
                             .arg(model.unregisteredList().join(QLatin1Char(',')), real.unregisteredList().join(QLatin1Char(','))));
    }
    return std::nullopt;
}

// Within the steps that are left: the rows of an import and the fields of
// an edit are dropped one at a time while the sequence still fails.
static std::vector<Step> shrinkWithinSteps(Store store, std::vector<Step> steps, Finding& finding, int maxReplays) {
    int replays = 0;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        for (std::size_t part = 0; replays < maxReplays;) {
            std::vector<Step> smaller = steps;
            Step& step = smaller[i];
            if (step.kind == Kind::Import && part < step.rows.size() && step.rows.size() > 1) {
                step.rows.erase(step.rows.begin() + std::ptrdiff_t(part));
                if (step.failAtRow > int(part) + 2)
                    --step.failAtRow;
            } else if (step.kind == Kind::EditOrder && part < step.edits.size() && step.edits.size() > 1) {
                step.edits.erase(step.edits.begin() + std::ptrdiff_t(part));
            } else {
                break;
            }
            ++replays;
            if (const std::optional<Finding> f = playSequence(store, smaller); f && f->step == finding.step) {
                steps = smaller;
                finding = *f;
            } else {
                ++part;
            }
        }
    }
    return steps;
}

std::vector<Step> shrinkSequence(Store store, std::vector<Step> steps, Finding& finding, int maxReplays) {
    steps.resize(std::size_t(finding.step) + 1);
    int replays = 0;
    // Halving chunks down to single steps; single steps again while that
    // still shortens the sequence.
    std::size_t lastSize = 0;
    for (std::size_t chunk = std::max<std::size_t>(1, steps.size() / 2);; chunk = std::max<std::size_t>(1, chunk / 2)) {
        lastSize = steps.size();
        for (std::size_t at = 0; at < steps.size() && replays < maxReplays;) {
            std::vector<Step> shorter = steps;
            shorter.erase(shorter.begin() + std::ptrdiff_t(at),
                          shorter.begin() + std::ptrdiff_t(std::min(steps.size(), at + chunk)));
            ++replays;
            if (shorter.empty()) {
                at += chunk;
                continue;
            }
            if (const std::optional<Finding> f = playSequence(store, shorter)) {
                shorter.resize(std::size_t(f->step) + 1);
                steps = shorter;
                finding = *f;
            } else {
                at += chunk;
            }
        }
        if ((chunk == 1 && steps.size() == lastSize) || replays >= maxReplays)
            break;
    }
    return shrinkWithinSteps(store, steps, finding, maxReplays - replays);
}

std::vector<Step> drawSequence(quint64 seed, int count, Store store) {
    std::mt19937_64 random(seed);
    std::vector<Step> steps;
    for (int i = 0; i < count; ++i)
        steps.push_back(drawStep(random, store == Store::Server));
    return steps;
}

}  // namespace seq
