#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

struct px_doc;

namespace paradox {

// A failure that ends an import before anything is stored: a missing,
// encrypted or damaged table or memo file. The message names the file.
class ImportError : public std::runtime_error {
public:
    explicit ImportError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// Field types as the table header stores them.
enum class ParadoxType {
    Alpha = 0x01,
    Date = 0x02,
    Short = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Number = 0x06,
    Logical = 0x09,
    Memo = 0x0C,
    Blob = 0x0D,
    FormattedMemo = 0x0E,
    Ole = 0x0F,
    Graphic = 0x10,
    Time = 0x14,
    Timestamp = 0x15,
    AutoIncrement = 0x16,
    Bcd = 0x17,
    Bytes = 0x18,
};

struct ParadoxField {
    QByteArray name;  // in the table's code page
    ParadoxType type;
    int length;
};

struct ParadoxValue {
    bool isNull = true;
    qint64 integer = 0;  // Short, Long, AutoIncrement, Logical
    double real = 0;     // Number, Currency
    QByteArray bytes;    // Alpha, memos, Bcd
};

bool isMemoType(ParadoxType type);

// Whether the file starts with the header of a Paradox data table (.DB):
// record and header sizes, file type, block size and field count in range.
// Reads the header only.
bool looksLikeParadoxTable(const QString& path);

// One Paradox table opened for reading through pxlib. Everything pxlib
// reports goes to this object, never to the terminal.
class ParadoxTable {
public:
    // Opens the table and checks its header against the file; throws
    // ImportError naming the file when it cannot be read or is encrypted.
    explicit ParadoxTable(const QString& path);
    ~ParadoxTable();
    ParadoxTable(const ParadoxTable&) = delete;
    ParadoxTable& operator=(const ParadoxTable&) = delete;

    const QString& path() const { return path_; }
    int codePage() const;  // 0 when the header names none
    int recordCount() const;
    const std::vector<ParadoxField>& fields() const { return fields_; }
    bool hasMemoFields() const;

    // Reads memo text beyond what the records hold from this .MB file.
    void attachMemoFile(const QString& memoPath);

    // Reads record recNo (from 0) into values, one per field. Returns false,
    // with pxlib's complaint in problem, when some field of it could not be
    // read (a memo whose text is damaged). Throws ImportError when the record
    // cannot be found at all (a damaged block chain).
    bool read(int recNo, std::vector<ParadoxValue>& values, QString& problem);

private:
    static void reportError(px_doc* doc, int level, const char* message, void* self);
    void checkHeader();

    QString path_;
    px_doc* doc_ = nullptr;
    std::vector<ParadoxField> fields_;
    QStringList messages_;  // what pxlib reported since the last look
};

}  // namespace paradox
