#include "window_kit/fault_texts.h"

#include "data/engine/engine.h"

#include "data/core/errors.h"
#include "data/core/schema.h"
#include "data/engine/open_store.h"
#include "platform/files.h"
#include "spreadsheet/error.h"
#include "window_kit/shared_messages.h"

#include <QDir>

#include <cerrno>

namespace kit {

namespace {

// SQLite's primary result codes (the low byte of an extended code).
enum SqliteCode {
    Busy = 5,
    Locked = 6,
    ReadOnly = 8,
    IoError = 10,
    Corrupt = 11,
    Full = 13,
    CantOpen = 14,
    NotADatabase = 26,
};

QString joined(const QString& happened, const QString& notSaved, const QString& whatToDo)
{
    return happened + QLatin1Char('\n') + notSaved + QLatin1Char('\n') + whatToDo;
}

const QString ChangeNotSaved = QStringLiteral("这次的修改没有保存，之前保存的数据不受影响。");

QString engineCodeText(int code)
{
    if (code == data::KeyViolationCode)
        return joined(QStringLiteral("这条记录与已有的记录重复。"), QStringLiteral("这条记录没有保存。"),
                      QStringLiteral("请改正后再保存，或取消这条记录。"));
    switch (code & 0xff) {
    case Busy:
    case Locked:
        return joined(QStringLiteral("数据表正被另一个程序使用（已锁定），暂时不能写入。"), ChangeNotSaved,
                      QStringLiteral("请关闭同时使用这些数据表的其他程序，然后再试一次。"));
    case ReadOnly:
        return joined(QStringLiteral("数据表是只读的，不能写入。"), ChangeNotSaved,
                      QStringLiteral("请检查数据文件夹和数据表文件是否允许写入（不是只读文件，也不在写保护的磁盘上），然后再试一次。"));
    case Full:
        return joined(QStringLiteral("磁盘已满，数据表不能再写入。"), ChangeNotSaved,
                      QStringLiteral("请删除一些不需要的文件，腾出磁盘空间，然后再试一次。"));
    case IoError:
        return joined(QStringLiteral("读写数据表时磁盘出错。"), ChangeNotSaved,
                      QStringLiteral("请检查磁盘或网络驱动器是否连接正常，然后再试一次；如果一再出现，请先备份数据文件夹，再联系技术支持。"));
    case CantOpen:
        return joined(QStringLiteral("数据表文件打不开。"), QStringLiteral("没有读写任何数据。"),
                      QStringLiteral("请检查数据文件夹是否存在、是否允许读写，然后重新启动程序。"));
    case NotADatabase:
        return joined(QStringLiteral("这个文件不是本程序的数据表。"), QStringLiteral("没有读写任何数据。"),
                      QStringLiteral("请检查数据文件夹中的数据表文件。"));
    case Corrupt:
        return joined(QStringLiteral("数据表文件已损坏。"), ChangeNotSaved,
                      QStringLiteral("请不要再修改数据，先备份数据文件夹，再联系技术支持修复。"));
    default:
        return joined(QStringLiteral("数据表操作失败。"), ChangeNotSaved,
                      QStringLiteral("请再试一次；如果一再出现，请联系技术支持。"));
    }
}

// "10秒", "0.5秒"; "很久" when not known.
QString waitedText(const QString& milliseconds)
{
    bool known = false;
    const qint64 ms = milliseconds.toLongLong(&known);
    if (!known || ms <= 0)
        return QStringLiteral("很久");
    return QString::number(double(ms) / 1000.0, 'g', 4) + QStringLiteral("秒");
}

// Records another desk holds: that desk is named where the server tells it.
QString lockWaitText(const data::EngineError& error)
{
    const QString desk = error.subject().isEmpty() ? QStringLiteral("另一台电脑")
                                                   : QStringLiteral("另一台电脑（%1）").arg(error.subject());
    return joined(QStringLiteral("%1正在修改这些记录，等了%2仍未完成。").arg(desk, waitedText(error.value())),
                  ChangeNotSaved,
                  QStringLiteral("请稍后再试一次；如果一直等不到，请看看那台电脑上的程序是否停在某个提示框或操作上。"));
}

// A fault the database server reported, by its SQLSTATE (a key violation
// is told by its code before this).
QString serverStateText(const QString& state)
{
    const QString stateClass = state.left(2);
    if (state == QLatin1String("40001") || state == QLatin1String("40P01"))
        return joined(QStringLiteral("这次修改与另一台电脑同时进行的修改冲突了。"), ChangeNotSaved,
                      QStringLiteral("请再试一次。"));
    if (state == QLatin1String("57014"))
        return joined(QStringLiteral("这次操作在数据库服务器上运行的时间太长，已被服务器停止。"), ChangeNotSaved,
                      QStringLiteral("请稍后再试一次；如果一再出现，请联系技术支持。"));
    if (stateClass == QLatin1String("53"))
        return joined(QStringLiteral("数据库服务器的磁盘已满或资源不足。"), ChangeNotSaved,
                      QStringLiteral("请通知管理服务器的人员腾出磁盘空间，然后再试一次。"));
    if (state == QLatin1String("42501") || stateClass == QLatin1String("28"))
        return joined(QStringLiteral("这台电脑没有使用数据库服务器上这些数据表的权限。"), ChangeNotSaved,
                      QStringLiteral("请通知管理服务器的人员检查这台电脑所用的账户。"));
    if (state == QLatin1String("25006"))
        return joined(QStringLiteral("数据库服务器现在只允许读取，不能写入。"), ChangeNotSaved,
                      QStringLiteral("请通知管理服务器的人员。"));
    return joined(QStringLiteral("数据库服务器拒绝了这次操作（错误代码 %1）。").arg(state), ChangeNotSaved,
                  QStringLiteral("请再试一次；如果一再出现，请把错误代码告诉技术支持。"));
}

// "尺码38" for a size field, the field's own name otherwise.
QString fieldCaption(const QString& field)
{
    return data::sizeFieldNames().contains(field) ? QStringLiteral("尺码") + field : field;
}

QString engineText(const data::EngineError& error)
{
    switch (error.kind()) {
    case data::ErrorKind::MissingTable:
        if (data::isServerLocation(error.value()))
            return joined(QStringLiteral("数据库服务器“%1”上没有数据表“%2”。").arg(error.value().section(QLatin1String("://"), 1), error.subject()),
                          QStringLiteral("没有读写任何数据。"),
                          QStringLiteral("请先在服务器上建好数据表（tavrel-tables create 或 copy）。"));
        return joined(QStringLiteral("数据文件夹“%1”中没有数据表“%2”。").arg(error.value(), error.subject()),
                      QStringLiteral("没有读写任何数据。"),
                      QStringLiteral("请把数据表放回这个文件夹，或新建一个空表。"));
    case data::ErrorKind::ForeignTable:
        return joined(QStringLiteral("文件“%1”不是本程序的数据表（可能是旧的Paradox表或别的程序的文件）。")
                          .arg(QDir::toNativeSeparators(error.subject())),
                      QStringLiteral("这个文件没有被修改。"),
                      QStringLiteral("旧的Paradox表可以导入到新的数据文件夹中使用。"));
    case data::ErrorKind::WrongLayout:
        return joined(QStringLiteral("数据表“%1”的结构不对：缺少字段“%2”。").arg(error.subject(), error.value()),
                      QStringLiteral("这个数据表没有被修改。"),
                      QStringLiteral("请检查它是不是本程序的数据表。"));
    case data::ErrorKind::NotWholeNumber:
        return QStringLiteral("%1只能输入整数，不能是“%2”").arg(fieldCaption(error.subject()), error.value()) +
               QStringLiteral("\n这个值没有保存；请改成整数，或取消这条记录的修改。");
    case data::ErrorKind::ServerUnreachable:
        if (error.storedAfterReconnecting() > 0)
            return joined(QStringLiteral("与数据库服务器的连接断开了一次，程序已经重新连接上。"),
                          QStringLiteral("这次的操作在断开的地方停下，没有做完；断开前已在窗口中显示的修改中，"
                                         "有%1条是重新连接后才存入数据库的%2。")
                              .arg(error.storedAfterReconnecting())
                              .arg(error.notStored().records == 0 ? QStringLiteral("，断开前的修改都已保存")
                                                                  : QString()),
                          QStringLiteral("请重新打开窗口核对，再把没有做完的部分做一次。"));
        if (error.sqlState() == QLatin1String("08001"))
            return joined(QStringLiteral("数据位置中的数据库服务器地址写得不对，程序读不懂（例如地址中有不完整的%写法）。"),
                          QStringLiteral("没有连接服务器，没有读写任何数据。"),
                          QStringLiteral("请检查地址的写法；密码请写在这台电脑的密码文件中，不要写在地址里。"));
        if (error.sqlState() == QLatin1String(data::UntrustedServerState))
            return joined(QStringLiteral("数据库服务器 %1 的证书没有通过这台电脑的检查（或者服务器不提供加密连接），程序没有连接它。").arg(error.subject()),
                          QStringLiteral("没有连接服务器，没有读写任何数据。"),
                          QStringLiteral("请检查数据位置中 sslrootcert 指向的根证书是否是签发服务器证书的那一个，"
                                         "地址中的服务器名称是否与证书上的一致；如果一再出现，请联系管理服务器的人员。"));
        if (error.sqlState() == QLatin1String("25P03"))
            return joined(QStringLiteral("这台电脑的一次修改停在半途太久，数据库服务器结束了它的连接，好让其他电脑继续工作。"),
                          QStringLiteral("这次的修改没有保存，服务器上之前保存的数据不受影响。"),
                          QStringLiteral("程序会自动重新连接服务器，连上后请把这次的修改再做一次。"));
        return joined(QStringLiteral("无法连接数据库服务器 %1，请检查网络或服务器是否已开启。").arg(error.subject()),
                      QStringLiteral("这次的操作没有做完，服务器上已保存的数据不受影响。"),
                      QStringLiteral("网络或服务器恢复后请再试一次；如果一再出现，请联系管理服务器的人员。"));
    case data::ErrorKind::ServerBusy:
        // Said as the window that refuses the command says it.
        return commandBusyText(error.subject(), error.value()) + QStringLiteral("\n这项操作没有开始，数据没有改变。");
    case data::ErrorKind::ChangedElsewhere:
        return joined(QStringLiteral("%1中的这条记录已被%2修改或删除。")
                          .arg(tableCaption(error.subject()),
                               error.value().isEmpty() ? QStringLiteral("另一台电脑")
                                                       : QStringLiteral("另一台电脑（%1）").arg(error.value())),
                      ChangeNotSaved, QStringLiteral("请刷新数据，看过对方保存的内容后再修改。"));
    case data::ErrorKind::StoppedInConflict:
        return joined(QStringLiteral("你在这里停止了这次操作：%1中的记录已被%2修改过。")
                          .arg(tableCaption(error.subject()),
                               error.value().isEmpty() ? QStringLiteral("另一台电脑")
                                                       : QStringLiteral("另一台电脑（%1）").arg(error.value())),
                      QStringLiteral("停止之前的修改已经保存。"),
                      QStringLiteral("请刷新数据，看过对方保存的内容后，再对没有做完的记录做一次这项操作。"));
    case data::ErrorKind::LogTakenAway:
        return joined(QStringLiteral("数据表“%1”在程序使用时被另一个程序打开又关闭了，最近的修改可能没有写进数据表。")
                          .arg(QDir::toNativeSeparators(error.subject())),
                      QStringLiteral("程序已重新打开这个数据表，以后的修改会正常保存。"),
                      QStringLiteral("请检查刚才的修改是否都在，缺少的请再做一次；程序运行时请不要用其他程序打开数据文件夹中的数据表。"));
    case data::ErrorKind::ChangedSinceAsked:
        return joined(QStringLiteral("撤销时发现另一台电脑刚修改了要恢复的记录，现在有%1条记录在命令之后被修改过。").arg(error.value()),
                      QStringLiteral("没有撤销任何记录，数据没有改变。"),
                      QStringLiteral("请再撤销一次，看过提问后再决定是否覆盖这些修改。"));
    case data::ErrorKind::Engine:
        break;
    }
    if (error.sqlState() == QLatin1String("55P03"))
        return lockWaitText(error);
    if (!error.sqlState().isEmpty() && !error.isKeyViolation())
        return serverStateText(error.sqlState());
    return engineCodeText(error.code());
}

QString officeText(spreadsheet::Error::Operation operation)
{
    using Op = spreadsheet::Error::Operation;
    switch (operation) {
    case Op::Connect:
        return joined(QStringLiteral("电子表格程序启动不了，或者连接不上。"), QStringLiteral("没有导入或导出任何数据。"),
                      QStringLiteral("请确认电子表格程序已安装，关闭它的所有窗口后再试一次。"));
    case Op::Open:
        return joined(QStringLiteral("电子表格程序打不开这个工作簿。"), QStringLiteral("没有读入或写出任何数据。"),
                      QStringLiteral("请检查文件是否存在、是不是Excel工作簿、是否被别的程序占用，然后再试一次。"));
    case Op::Read:
        return joined(QStringLiteral("从工作簿读取数据时出错。"), QStringLiteral("出错之后的数据没有读入，已保存的记录不受影响。"),
                      QStringLiteral("请检查这个工作簿，然后再试一次。"));
    case Op::Write:
        return joined(QStringLiteral("向工作簿写入数据时出错。"), QStringLiteral("工作簿中的数据不完整；数据表没有改变。"),
                      QStringLiteral("请关闭这个工作簿，再导出一次。"));
    case Op::Save:
        return joined(QStringLiteral("工作簿保存不了。"), QStringLiteral("工作簿没有保存；数据表没有改变。"),
                      QStringLiteral("请检查文件夹是否允许写入、磁盘是否已满，然后再试一次。"));
    case Op::Gone:
        return joined(QStringLiteral("电子表格程序或工作簿已经关闭，操作没有做完。"),
                      QStringLiteral("工作簿中的数据不完整；数据表中已保存的数据不受影响。"),
                      QStringLiteral("请再试一次。"));
    case Op::Other:
        break;
    }
    return joined(QStringLiteral("电子表格程序出错，操作没有做完。"), QStringLiteral("数据表中已保存的数据不受影响。"),
                  QStringLiteral("请关闭电子表格程序的窗口后再试一次。"));
}

QString fileText(const platform::FileError& error)
{
    const QString file = QDir::toNativeSeparators(error.path());
    const bool reading = error.action() == platform::FileError::Action::Read;
    const QString notDone = reading ? QStringLiteral("文件没有读入。") : QStringLiteral("文件没有写好，里面的内容可能不完整。");
    switch (error.systemError()) {
    case ENOENT:
        return joined(QStringLiteral("找不到文件“%1”。").arg(file), notDone,
                      QStringLiteral("请检查文件和它所在的文件夹是否存在。"));
    case EACCES:
    case EPERM:
        return joined(QStringLiteral("没有读写文件“%1”的权限。").arg(file), notDone,
                      QStringLiteral("请检查文件和文件夹是否允许读写，然后再试一次。"));
    case EROFS:
        return joined(QStringLiteral("文件“%1”在只读的磁盘上，不能写入。").arg(file), notDone,
                      QStringLiteral("请换一个可以写入的磁盘或文件夹。"));
    case ENOSPC:
        return joined(QStringLiteral("磁盘已满，文件“%1”写不进去。").arg(file), notDone,
                      QStringLiteral("请删除一些不需要的文件，腾出磁盘空间，然后再试一次。"));
    case EISDIR:
        return joined(QStringLiteral("“%1”是一个文件夹，不是文件。").arg(file), notDone,
                      QStringLiteral("请选择一个文件。"));
    default:
        return joined(QStringLiteral("读写文件“%1”时出错。").arg(file), notDone,
                      QStringLiteral("请检查文件后再试一次。"));
    }
}

bool holdsChinese(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x3400 && c.unicode() <= 0x9fff)
            return true;
    return false;
}

// The writes a loop had shown as stored that never reached the store.
QString notStoredText(const data::EngineError::NotStored& notStored)
{
    if (notStored.records == 0)
        return QString();
    constexpr int NamesShown = 20;
    QString names;
    if (!notStored.names.isEmpty()) {
        names = QStringLiteral("（批号：%1%2）")
                    .arg(QStringList(notStored.names.mid(0, NamesShown)).join(QStringLiteral("、")),
                         notStored.names.size() > NamesShown ? QStringLiteral(" 等") : QString());
    }
    return QStringLiteral("\n其中%1条记录的修改已在窗口中显示，却没有存入数据库%2。"
                          "请重新打开窗口核对这些记录，再做一次这些修改。")
        .arg(notStored.records)
        .arg(names);
}

// Said by the text of a lost connection itself; after any other fault, a
// line of its own.
QString storedAfterReconnectingText(const data::EngineError& error)
{
    if (error.storedAfterReconnecting() == 0 || error.kind() == data::ErrorKind::ServerUnreachable)
        return QString();
    return QStringLiteral("\n与数据库服务器的连接曾断开；重新连接后，断开前保留的%1条记录的修改已存入数据库。")
        .arg(error.storedAfterReconnecting());
}

}  // namespace

platform::ErrorReport faultReport(const std::exception& error)
{
    const QString own = platform::ownErrorText(error);
    if (const auto* engine = dynamic_cast<const data::EngineError*>(&error))
        return {engineText(*engine) + storedAfterReconnectingText(*engine) + notStoredText(engine->notStored()), own};
    if (const auto* office = dynamic_cast<const spreadsheet::Error*>(&error))
        return {officeText(office->operation()), own};
    if (const auto* file = dynamic_cast<const platform::FileError*>(&error))
        return {fileText(*file), own};
    // The program's own texts are Chinese already; anything else is a fault
    // nobody foresaw.
    if (holdsChinese(own))
        return {own, QString()};
    return {joined(QStringLiteral("程序出错，操作没有做完。"), QStringLiteral("之前保存的数据不受影响。"),
                   QStringLiteral("请再试一次；如果一再出现，请把“详细信息”中的内容告诉技术支持。")),
            own};
}

QString tableCaption(const QString& fileName)
{
    const QString name = fileName.toLower();
    if (name == data::ordersTable().fileName)
        return QStringLiteral("订单表");
    if (name == data::shoesTable().fileName)
        return QStringLiteral("鞋底型号表");
    if (name == data::statisticsTable().fileName)
        return QStringLiteral("鞋底统计表");
    return fileName;
}

QString keyClashText(const std::vector<data::KeyClash>& clashes)
{
    QStringList lines{QStringLiteral("下面这些记录的键值重复（空白也算一个值），新的唯一性检查还不能用在这些数据表上：")};
    for (const data::KeyClash& clash : clashes) {
        QStringList key;
        for (int i = 0; i < clash.keyFields.size(); ++i) {
            const QString value = clash.keyValues.value(i);
            key << (value.isEmpty() ? QStringLiteral("%1为空").arg(clash.keyFields[i])
                                    : QStringLiteral("%1为“%2”").arg(clash.keyFields[i], value));
        }
        QStringList records;
        for (const qint64 n : clash.recordNos)
            records << QString::number(n);
        lines << QStringLiteral("%1（%2）：%3的记录，第%4条").arg(tableCaption(clash.fileName), clash.fileName,
                                                          key.join(QStringLiteral("、")),
                                                          records.join(QStringLiteral("、")));
    }
    lines << QStringLiteral("没有删除任何记录。请在相应的窗口中给这些记录填上不同的值，或删除多余的记录，然后重新启动程序。");
    return lines.join(QLatin1Char('\n'));
}

void installFaultTexts()
{
    platform::setErrorTranslator(faultReport);
}

}  // namespace kit
