#include "catalogue/unregistered_models.h"

#include "catalogue/catalogue_search.h"
#include "data/lang/catalogue_lookup.h"
#include "data/engine/query.h"
#include "window_kit/progress.h"

#include <QSet>

namespace catalogue {

namespace {

const QString ShoeModel = QStringLiteral("鞋的型号");
const QString Colour = QStringLiteral("颜色");

// Model and colour of an entry as one comparable key.
QString pairKey(const QString& entry) {
    const QStringList parts = entryParts(entry);
    return parts.value(0) + QChar(0) + parts.value(1);
}

// The model and colour pairs the list names. Entries are only added at the
// end while a scan runs, so only the new ones are read each time; a list
// that shrank is read again from the start.
class ListedPairs {
public:
    bool names(const EntryList& list, const QString& entry) {
        const int count = list.count();
        if (count < indexed_) {
            keys_.clear();
            indexed_ = 0;
        }
        for (; indexed_ < count; ++indexed_)
            keys_.insert(pairKey(list.entry(indexed_)));
        return keys_.contains(pairKey(entry));
    }

private:
    QSet<QString> keys_;
    int indexed_ = 0;
};

}  // namespace

QString unregisteredEntry(const QString& model, const QString& colour) { return model + QLatin1Char(':') + colour; }

QStringList entryParts(const QString& entry) {
    if (entry.isEmpty())
        return {};
    QStringList parts = entry.split(QLatin1Char(':'));
    if (parts.size() > 1 && parts.last().isEmpty())
        parts.removeLast();
    return parts;
}

bool sameModelAndColour(const QString& a, const QString& b) { return pairKey(a) == pairKey(b); }

int scanUnregisteredModels(data::Query& orders, data::Query& catalogue, EntryList& list, kit::StatusSink& status) {
    list.clear();
    data::BusyScope walking(orders);
    data::BusyScope lookingUp(catalogue);
    catalogue.checkBrowseMode();
    orders.first();
    const int modelField = orders.field(ShoeModel).index();
    const int colourField = orders.field(Colour).index();
    ListedPairs listed;
    int added = 0;
    while (!orders.eof()) {
        status.letEventsRun();
        const QString model = orders.field(modelField).asText();
        const QString colour = orders.field(colourField).asText();
        catalogue.setSql(data::catalogueLookupStatement(model, colour));
        catalogue.open();
        if (catalogue.isEmpty()) {
            const QString entry = unregisteredEntry(model, colour);
            if (!listed.names(list, entry)) {
                list.add(entry);
                ++added;
            }
        }
        orders.next();
    }
    catalogue.setSql(allModelsStatement());
    catalogue.open();
    return added;
}

bool addListedModel(data::Query& catalogue, const QString& entry) {
    QStringList parts = entryParts(entry);
    if (parts.isEmpty())
        return false;
    if (parts.size() == 1)
        parts << QString();
    catalogue.last();
    catalogue.append();
    catalogue.field(ShoeModel).setText(parts[0]);
    catalogue.field(Colour).setText(parts[1]);
    catalogue.post();
    return true;
}

}  // namespace catalogue
