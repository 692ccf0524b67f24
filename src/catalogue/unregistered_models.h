#pragma once

#include <QString>
#include <QStringList>

namespace data {
class Query;
}
namespace kit {
class StatusSink;
}

namespace catalogue {

// The entries of the unregistered list begin with a model, ":" and a colour
// ("8012:黑"); the sole assignment's entries go on with the pairs and the
// batch number ("8012:黑:120:1007").

// The entry the scan writes for an order: model + ":" + colour.
QString unregisteredEntry(const QString& model, const QString& colour);

// An entry split at every ":", in order. An empty part after a final ":" is
// dropped ("8012:" gives 8012 alone), an empty first part is kept (":黑"
// gives "" and 黑); an empty entry has no parts.
QStringList entryParts(const QString& entry);

// True when the two entries name the same model and colour: their first two
// parts are equal. "8012:黑:120:1007" names 8012:黑; "112:黑" does not name
// 12:黑.
bool sameModelAndColour(const QString& a, const QString& b);

// The list the scan fills: the window's list box, or a plain list.
class EntryList {
public:
    virtual ~EntryList() = default;
    virtual void clear() = 0;
    virtual int count() const = 0;
    virtual QString entry(int index) const = 0;
    virtual void add(const QString& entry) = 0;
};

// The scan: empties the list, then looks every order of the order query's
// result (from the first, letting events run before each) up in the
// catalogue, replacing the catalogue query's statement with data::catalogueLookupStatement()
// for each, and adds unregisteredEntry() for an order without a catalogue
// record unless the list already names its model and colour. A record being
// edited in the catalogue is posted first. The catalogue query ends on every
// record again; the order query's cursor stands on its last record. Both
// queries are busy meanwhile. Returns the number of entries added.
int scanUnregisteredModels(data::Query& orders, data::Query& catalogue, EntryList& list, kit::StatusSink& status);

// Adds a catalogue record for a list entry: its first part as "鞋的型号" and
// its second (empty when there is none) as "颜色", appended after the last
// record and posted through the catalogue's posting rule. An entry without
// parts adds nothing and gives false. A refused post propagates (a
// duplicate ends in data::SilentAbort).
bool addListedModel(data::Query& catalogue, const QString& entry);

}  // namespace catalogue
