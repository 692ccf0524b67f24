#include "paradox/paradox_table.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

// pxlib's header declares its functions without C linkage.
extern "C" {
#include <paradox.h>
}

namespace paradox {

namespace {

void bootLibrary() {
    static std::once_flag booted;
    std::call_once(booted, [] { PX_boot(); });
}

bool holdsBytes(ParadoxType type) {
    switch (type) {
    case ParadoxType::Alpha:
    case ParadoxType::Memo:
    case ParadoxType::Blob:
    case ParadoxType::FormattedMemo:
    case ParadoxType::Ole:
    case ParadoxType::Graphic:
    case ParadoxType::Bcd:
    case ParadoxType::Bytes:
        return true;
    default:
        return false;
    }
}

bool holdsReal(ParadoxType type) {
    return type == ParadoxType::Number || type == ParadoxType::Currency || type == ParadoxType::Timestamp;
}

// Memo data is read through these instead of pxlib's own file functions:
// pxlib 0.6.8 overruns a stack buffer while it indexes the blocks of a memo
// file on opening it, which is needed only for writing. A short read counts
// as a failure, so a truncated memo file is reported and not read past.
size_t readMemo(pxblob_t*, pxstream_t* stream, size_t count, void* buffer) {
    const size_t got = std::fread(buffer, 1, count, stream->s.fp);
    return got == count ? got : size_t(-1);
}

int seekMemo(pxblob_t*, pxstream_t* stream, long offset, int whence) { return std::fseek(stream->s.fp, offset, whence); }

long tellMemo(pxblob_t*, pxstream_t* stream) { return std::ftell(stream->s.fp); }

quint16 littleEndian16(const QByteArray& bytes, int at) {
    return quint16(quint8(bytes[at])) | quint16(quint8(bytes[at + 1])) << 8;
}

quint32 littleEndian32(const QByteArray& bytes, int at) {
    return quint32(littleEndian16(bytes, at)) | quint32(littleEndian16(bytes, at + 2)) << 16;
}

// Whether the header names a password, read as pxlib reads it: the long
// at 0x25, or the one at 0x5C when the first holds the marker FF00FF00 that
// later versions put there. The data blocks of such a table are scrambled.
bool isEncrypted(const QByteArray& head) {
    constexpr int FirstAt = 0x25, SecondAt = 0x5C;
    constexpr quint32 UseSecond = 0xFF00FF00;
    if (head.size() < FirstAt + 4)
        return false;
    const quint32 first = littleEndian32(head, FirstAt);
    if (first != UseSecond)
        return first != 0;
    return head.size() >= SecondAt + 4 && littleEndian32(head, SecondAt) != 0;
}

// pxlib follows the chain of data blocks when it opens a table and never
// returns when the chain runs in a circle. The chain is walked here first,
// from the header's first block along each block's "next" number, and a
// circle or a number beyond the file is refused. (The blocks of an
// encrypted table are scrambled; such a table is refused before this.)
QString blockChainFault(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("it cannot be opened.");
    const QByteArray head = file.read(0x12);
    if (head.size() < 0x12)
        return QStringLiteral("it is shorter than a header.");
    const qint64 headerSize = littleEndian16(head, 0x02);
    const qint64 blockSize = qint64(quint8(head[0x05])) * 1024;
    const int firstBlock = littleEndian16(head, 0x0E);
    if (headerSize == 0 || blockSize == 0)
        return QStringLiteral("the header is inconsistent.");
    const qint64 blocksInFile = (file.size() - headerSize) / blockSize;
    std::vector<bool> visited(std::size_t(std::max<qint64>(blocksInFile, 0)) + 1, false);
    for (int block = firstBlock; block != 0;) {
        if (block > blocksInFile)
            return QStringLiteral("data block %1 lies beyond the end of the file.").arg(block);
        if (visited[block])
            return QStringLiteral("its chain of data blocks runs in a circle at block %1.").arg(block);
        visited[block] = true;
        if (!file.seek(headerSize + qint64(block - 1) * blockSize))
            return QStringLiteral("data block %1 cannot be read.").arg(block);
        const QByteArray blockHead = file.read(2);
        if (blockHead.size() < 2)
            return QStringLiteral("data block %1 cannot be read.").arg(block);
        block = littleEndian16(blockHead, 0);
    }
    return {};
}

ImportError encryptedError(const QString& path) {
    return ImportError(
        QStringLiteral("%1: the table is encrypted (password protected); remove the password in Paradox and try again.")
            .arg(path));
}

}  // namespace

bool looksLikeParadoxTable(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(0x58);
    if (head.size() < 0x58)
        return false;
    const quint16 recordSize = littleEndian16(head, 0x00);
    const quint16 headerSize = littleEndian16(head, 0x02);
    const quint8 fileType = quint8(head[0x04]);
    const quint8 blockKilobytes = quint8(head[0x05]);
    const quint16 fieldCount = littleEndian16(head, 0x21);
    const bool dataTable = fileType == pxfFileTypIndexDB || fileType == pxfFileTypNonIndexDB;
    const bool blockSize = blockKilobytes == 1 || blockKilobytes == 2 || blockKilobytes == 4 || blockKilobytes == 8 ||
                           blockKilobytes == 16 || blockKilobytes == 32;
    return dataTable && blockSize && recordSize > 0 && fieldCount > 0 && headerSize >= 0x58 &&
           headerSize <= file.size();
}

bool isMemoType(ParadoxType type) {
    return type == ParadoxType::Memo || type == ParadoxType::FormattedMemo || type == ParadoxType::Blob ||
           type == ParadoxType::Ole || type == ParadoxType::Graphic;
}

ParadoxTable::ParadoxTable(const QString& path) : path_(path) {
    bootLibrary();
    if (!QFileInfo(path).isFile())
        throw ImportError(QStringLiteral("%1: the table is missing.").arg(path));
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && isEncrypted(file.read(0x60)))
        throw encryptedError(path);
    file.close();
    if (const QString fault = blockChainFault(path); !fault.isEmpty())
        throw ImportError(QStringLiteral("%1: the table is damaged: %2").arg(path, fault));
    doc_ = PX_new3(&ParadoxTable::reportError, nullptr, nullptr, nullptr, this);
    if (!doc_)
        throw ImportError(QStringLiteral("%1: out of memory.").arg(path));
    if (PX_open_file(doc_, QFile::encodeName(path).constData()) < 0) {
        const QString why = messages_.join(QStringLiteral(" "));
        PX_delete(doc_);
        doc_ = nullptr;
        throw ImportError(QStringLiteral("%1: not a readable Paradox table (damaged header?). %2").arg(path, why).trimmed());
    }
    try {
        checkHeader();
    } catch (...) {
        PX_delete(doc_);
        doc_ = nullptr;
        throw;
    }
}

ParadoxTable::~ParadoxTable() {
    if (doc_) {
        PX_close(doc_);
        PX_delete(doc_);
    }
}

void ParadoxTable::reportError(px_doc*, int, const char* message, void* self) {
    static_cast<ParadoxTable*>(self)->messages_ << QString::fromLocal8Bit(message).trimmed();
}

void ParadoxTable::checkHeader() {
    const pxhead_t* head = doc_->px_head;
    const auto damaged = [this](const QString& why) {
        return ImportError(QStringLiteral("%1: the table is damaged: %2").arg(path_, why));
    };
    if (!head)
        throw damaged(QStringLiteral("its header cannot be read."));
    if (head->px_encryption != 0)
        throw encryptedError(path_);
    if (head->px_filetype != pxfFileTypIndexDB && head->px_filetype != pxfFileTypNonIndexDB)
        throw damaged(QStringLiteral("the header does not describe a data table."));
    if (head->px_numfields <= 0 || !head->px_fields || head->px_recordsize <= 0 || head->px_numrecords < 0 ||
        head->px_headersize <= 0 || head->px_maxtablesize <= 0)
        throw damaged(QStringLiteral("the header is inconsistent."));
    const qint64 blockSize = qint64(head->px_maxtablesize) * 1024;
    const qint64 expected = qint64(head->px_headersize) + qint64(head->px_fileblocks) * blockSize;
    const qint64 actual = QFileInfo(path_).size();
    if (actual < expected)
        throw damaged(QStringLiteral("the file holds %1 bytes, its header says %2.").arg(actual).arg(expected));
    qint64 recordBytes = 0;
    for (int i = 0; i < head->px_numfields; ++i) {
        const pxfield_t& f = head->px_fields[i];
        fields_.push_back({QByteArray(f.px_fname ? f.px_fname : ""), ParadoxType(static_cast<unsigned char>(f.px_ftype)),
                           f.px_flen});
        recordBytes += f.px_flen;
    }
    if (recordBytes > head->px_recordsize)
        throw damaged(QStringLiteral("its fields do not fit its records."));
    messages_.clear();
}

int ParadoxTable::codePage() const { return doc_->px_head->px_doscodepage; }

int ParadoxTable::recordCount() const { return doc_->px_head->px_numrecords; }

bool ParadoxTable::hasMemoFields() const {
    for (const ParadoxField& f : fields_)
        if (isMemoType(f.type))
            return true;
    return false;
}

void ParadoxTable::attachMemoFile(const QString& memoPath) {
    FILE* file = std::fopen(QFile::encodeName(memoPath).constData(), "rb");
    if (!file)
        throw ImportError(QStringLiteral("%1: the memo file cannot be opened.").arg(memoPath));
    pxblob_t* blob = PX_new_blob(doc_);
    auto* stream = static_cast<pxstream_t*>(blob ? doc_->malloc(doc_, sizeof(pxstream_t), "memo stream") : nullptr);
    if (!stream) {
        std::fclose(file);
        throw ImportError(QStringLiteral("%1: out of memory.").arg(memoPath));
    }
    std::memset(stream, 0, sizeof(pxstream_t));
    stream->type = pxfIOFile;
    stream->mode = pxfFileRead;
    stream->close = px_true;  // closed and freed with the blob
    stream->s.fp = file;
    blob->mb_stream = stream;
    blob->read = readMemo;
    blob->seek = seekMemo;
    blob->tell = tellMemo;
}

bool ParadoxTable::read(int recNo, std::vector<ParadoxValue>& values, QString& problem) {
    messages_.clear();
    pxval_t** record = PX_retrieve_record(doc_, recNo);
    if (!record)
        throw ImportError(QStringLiteral("%1: the table is damaged: record %2 cannot be read. %3")
                              .arg(path_)
                              .arg(recNo + 1)
                              .arg(messages_.join(QStringLiteral(" ")))
                              .trimmed());
    values.resize(fields_.size());
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        pxval_t* v = record[i];
        ParadoxValue& out = values[i];
        const ParadoxType type = fields_[i].type;
        out = ParadoxValue();
        out.isNull = v->isnull != 0;
        if (holdsBytes(type)) {
            if (!out.isNull && v->value.str.val)
                out.bytes = QByteArray(v->value.str.val, v->value.str.len);
            if (v->value.str.val)
                doc_->free(doc_, v->value.str.val);
        } else if (holdsReal(type)) {
            out.real = v->value.dval;
        } else {
            out.integer = v->value.lval;
        }
        doc_->free(doc_, v);
    }
    doc_->free(doc_, record);
    if (messages_.isEmpty())
        return true;
    problem = messages_.join(QStringLiteral(" "));
    return false;
}

}  // namespace paradox
