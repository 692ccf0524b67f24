#pragma once

#include <QString>
#include <QStringList>

// The terms typed or pasted into the search boxes, as the statement builders
// take them.
namespace data {

// The lines of a list box: an empty last line after the final line break
// does not count, any other empty line does.
QStringList listLines(const QString& text);

// A search term without its leading and trailing blanks and control
// characters; other characters, the wide blank among them, stay.
QString trimBlanks(const QString& text);

}  // namespace data
