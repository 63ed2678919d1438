#include "cli/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace vaskord::cli {

namespace {

// The window's spin-box ranges; the command line refuses what the boxes
// could not hold instead of clamping it behind the operator's back.
constexpr int kMinCount = 1;
constexpr int kMaxCount = 100;
constexpr int kDefaultCount = 1;
constexpr int kMinShowCount = 1;
constexpr int kMaxShowCount = 1000;
constexpr int kDefaultShowCount = 100;

struct Options {
    QCommandLineOption help{{u"h"_s, u"help"_s}};
    QCommandLineOption version{{u"v"_s, u"version"_s}};
    QCommandLineOption folder{u"folder"_s, QString(), u"DIR"_s};
    QCommandLineOption count{u"count"_s, QString(), u"N"_s};
    QCommandLineOption limit{u"limit"_s, QString(), u"N"_s};
    QCommandLineOption before{u"before"_s, QString(), u"DATE"_s};
    QCommandLineOption code{u"code"_s, QString(), u"TEXT"_s};
    QCommandLineOption name{u"name"_s, QString(), u"TEXT"_s};
    QCommandLineOption singer{u"singer"_s, QString(), u"TEXT"_s};
    QCommandLineOption showSql{u"show-sql"_s};
    QCommandLineOption yes{u"yes"_s};
    QCommandLineOption moveTo{u"move-to"_s, QString(), u"DIR"_s};
    QCommandLineOption trash{u"trash"_s};

    QList<const QCommandLineOption*> all() const {
        return {&help, &version, &folder,  &count, &limit,  &before, &code,
                &name, &singer,  &showSql, &yes,   &moveTo, &trash};
    }
    // Those that only find and delete understand.
    QList<const QCommandLineOption*> query() const {
        return {&folder, &count, &limit, &before, &code, &name, &singer, &showSql, &yes, &moveTo};
    }
};

Invocation usage(const QString& text) {
    Invocation invocation;
    invocation.usageError = text + u"\n用 vaskord-cli --help 查看用法。"_s;
    return invocation;
}

// QCommandLineParser reports in English; an operator gets the reason in Chinese.
QString parseErrorText(const QCommandLineParser& parser, const Options& options,
                       const QStringList& arguments) {
    if (!parser.unknownOptionNames().isEmpty()) {
        const QString name = parser.unknownOptionNames().constFirst();
        return u"未知的选项: "_s + (name.size() == 1 ? u"-"_s : u"--"_s) + name;
    }
    // A value option as the last word is the only way a value can be missing:
    // the parser takes whatever word follows as the value.
    const QString last = arguments.size() > 1 ? arguments.last() : QString();
    for (const QCommandLineOption* option : options.all()) {
        if (!option->valueName().isEmpty() && last == u"--"_s + option->names().constFirst()) {
            return u"选项 "_s + last + u" 缺少取值。"_s;
        }
    }
    // The other refusal: a value given to a switch, as in --yes=1.
    for (const QString& argument : arguments) {
        if (!argument.startsWith(u"--"_s) || !argument.contains(u'=')) {
            continue;
        }
        const QString name = argument.section(u'=', 0, 0).mid(2);
        for (const QCommandLineOption* option : options.all()) {
            if (option->valueName().isEmpty() && option->names().contains(name)) {
                return u"选项 --"_s + name + u" 不带取值。"_s;
            }
        }
    }
    return u"命令行有误: "_s + parser.errorText();
}

// A whole number in [min, max], or nothing.
std::optional<int> wholeNumberIn(const QString& text, int min, int max) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

QString helpText() {
    return uR"(用法:
  vaskord-cli sql 歌库文件 SQL语句
  vaskord-cli find 歌库文件 --folder 目录 [--folder 目录 ...] [条件]
  vaskord-cli delete 歌库文件 --folder 目录 [--folder 目录 ...] [条件]
                     [--move-to 保存目录 | --trash] --yes
  vaskord-cli restore 保存目录
  vaskord-cli restore --trash [歌曲文件 ...]
  vaskord-cli --help | --version

命令:
  sql     在歌库上执行一条 SELECT 语句, 每行结果输出一个 JSON 对象 (JSON Lines)。
  find    与窗口的 "Q.查询" 相同: 列出符合条件且歌曲文件存在的歌曲, 每首一行 JSON
          (含文件大小 size, 字节), 最后在标准错误输出上写出统计和文件总大小。
  delete  先像 find 一样列出歌曲, 再删除所列的全部歌曲文件, 并写出删除统计和释放的空间。
          不加 --yes 时不删除任何文件。只读文件不删除, 计为失败。
  restore 把 --move-to 移走的文件按保存目录中的移动记录放回原处, 或 (--trash)
          把回收站中的歌曲文件放回原处; 从不覆盖已有文件, 每个文件输出一行 JSON。

条件:
  --count N       点播量 < N, N 为 1 到 100 的整数 (默认 1)
  --limit N       最多列出 N 首歌曲, N 为 1 到 1000 的整数 (默认 100)
  --before 日期   录入日期 < 日期, 格式 yyyy-MM-dd
  --code 文本     编号以该文本开头
  --name 文本     名称以该文本开头
  --singer 文本   歌手1 或歌手2 以该文本开头
  --show-sql      先在标准错误输出上写出查询的 SQL 语句

删除方式 (仅用于 delete, 二选一; 不给出时直接删除):
  --move-to 目录  把文件移到该目录下 (按歌曲路径分子目录), 并记入其中的 vaskord-moves.tsv
  --trash         把文件移入桌面回收站 (freedesktop.org 回收站)

其他选项:
  --folder 目录   歌曲路径, 可给出多次, 按给出的顺序查找
  --yes           确认删除 (仅用于 delete)
  -h, --help      显示本帮助
  -v, --version   显示版本号

退出码: 0 完成; 1 数据库或文件系统错误、有歌曲路径无法查找、标准输出已关闭,
        或有歌曲文件未能删除 (移走) 或恢复; 2 用法或输入错误;
        130/143/129 删除时收到 SIGINT/SIGTERM/SIGHUP (处理完当前文件后停止)。
)"_s;
}

Invocation parseCommandLine(const QStringList& arguments) {
    const Options options;
    QCommandLineParser parser;
    for (const QCommandLineOption* option : options.all()) {
        parser.addOption(*option);
    }
    if (!parser.parse(arguments)) {
        return usage(parseErrorText(parser, options, arguments));
    }

    Invocation invocation;
    if (parser.isSet(options.help)) {
        invocation.command = Command::Help;
        return invocation;
    }
    if (parser.isSet(options.version)) {
        invocation.command = Command::Version;
        return invocation;
    }

    const QStringList words = parser.positionalArguments();
    if (words.isEmpty()) {
        return usage(u"缺少命令: sql、find 或 delete。"_s);
    }
    const QString& command = words.constFirst();
    if (command == u"sql"_s) {
        for (const QCommandLineOption* option :
             options.query() + QList<const QCommandLineOption*>{&options.trash}) {
            if (parser.isSet(*option)) {
                return usage(u"sql 命令不接受选项 --"_s + option->names().constFirst() + u'。');
            }
        }
        if (words.size() < 2 || words.at(1).isEmpty()) {
            return usage(u"缺少歌库文件。"_s);
        }
        if (words.size() < 3) {
            return usage(u"缺少 SQL 语句。"_s);
        }
        if (words.size() > 3) {
            return usage(u"多余的参数: "_s + words.mid(3).join(u' '));
        }
        invocation.command = Command::Sql;
        invocation.library = words.at(1);
        invocation.sql = words.at(2);
        return invocation;
    }
    if (command == u"restore"_s) {
        for (const QCommandLineOption* option : options.query()) {
            if (parser.isSet(*option)) {
                return usage(u"restore 命令不接受选项 --"_s + option->names().constFirst() + u'。');
            }
        }
        invocation.command = Command::Restore;
        invocation.trash = parser.isSet(options.trash);
        if (invocation.trash) {
            for (const QString& file : words.mid(1)) {
                if (file.isEmpty()) {
                    return usage(u"歌曲文件路径不能为空。"_s);
                }
                invocation.restoreFiles << QDir::current().absoluteFilePath(file);
            }
            return invocation;
        }
        if (words.size() < 2 || words.at(1).isEmpty()) {
            return usage(u"缺少保存目录: restore 需要 delete --move-to 用过的目录, 或 --trash。"_s);
        }
        if (words.size() > 2) {
            return usage(u"多余的参数: "_s + words.mid(2).join(u' '));
        }
        invocation.moveTo = QDir::current().absoluteFilePath(words.at(1));
        return invocation;
    }
    if (command == u"find"_s) {
        invocation.command = Command::Find;
        for (const QCommandLineOption* option : {&options.yes, &options.moveTo, &options.trash}) {
            if (parser.isSet(*option)) {
                return usage(u"只有 delete 命令接受 --"_s + option->names().constFirst() + u'。');
            }
        }
    } else if (command == u"delete"_s) {
        invocation.command = Command::Delete;
        invocation.confirmed = parser.isSet(options.yes);
        invocation.trash = parser.isSet(options.trash);
        if (parser.isSet(options.moveTo)) {
            if (invocation.trash) {
                return usage(u"--move-to 与 --trash 只能选一个。"_s);
            }
            if (parser.value(options.moveTo).isEmpty()) {
                return usage(u"保存目录 (--move-to) 不能为空。"_s);
            }
            // Made full here so the record and the messages name it anywhere;
            // ".." stays for the kernel to resolve.
            invocation.moveTo = QDir::current().absoluteFilePath(parser.value(options.moveTo));
        }
    } else {
        return usage(u"未知的命令: "_s + command);
    }
    if (words.size() > 2) {
        return usage(u"多余的参数: "_s + words.mid(2).join(u' '));
    }

    QueryInput& input = invocation.input;
    // A missing library is left empty: the core then prompts as the window does.
    input.libraryPath = words.value(1);
    for (const QString& folder : parser.values(options.folder)) {
        // The folder browser hands the window full paths; a shell hands relative
        // ones, made full here so that every listed path names its file anywhere.
        // An empty one stays empty and names no folder.
        // Only the working folder is put in front: ".." stays for the kernel to
        // resolve, since "L/../songs" is not "songs" when L is a link.
        input.folderLines << (folder.isEmpty() || folder.startsWith(u'/')
                                  ? folder
                                  : QDir::currentPath() + u'/' + folder);
    }

    int count = kDefaultCount;
    if (parser.isSet(options.count)) {
        const auto value = wholeNumberIn(parser.value(options.count), kMinCount, kMaxCount);
        if (!value) {
            return usage(u"点播量 (--count) 必须是 1 到 100 之间的整数: "_s +
                         parser.value(options.count));
        }
        count = *value;
    }
    // The threshold goes into the SQL as the spin box shows it: plain decimal.
    input.countText = QString::number(count);

    input.showCount = kDefaultShowCount;
    if (parser.isSet(options.limit)) {
        const auto value = wholeNumberIn(parser.value(options.limit), kMinShowCount, kMaxShowCount);
        if (!value) {
            return usage(u"歌曲文件数量 (--limit) 必须是 1 到 1000 之间的整数: "_s +
                         parser.value(options.limit));
        }
        input.showCount = *value;
    }

    if (parser.isSet(options.before)) {
        input.limitDate = true;
        input.dateText = parser.value(options.before);
        // An empty value is the cleared date box, which the core prompts for.
        if (!input.dateText.isEmpty()) {
            // Exactly four digits of year: the date parser would also take a
            // sign and read "-2015" as a year before the common era.
            static const QRegularExpression shape(u"^[0-9]{4}-[0-9]{2}-[0-9]{2}$"_s);
            if (shape.match(input.dateText).hasMatch()) {
                input.date = QDate::fromString(input.dateText, u"yyyy-MM-dd"_s);
            }
            if (!input.date.isValid()) {
                return usage(u"录入日期 (--before) 无效, 应为 yyyy-MM-dd 格式的日期: "_s +
                             input.dateText);
            }
        }
    }
    input.songNo = parser.isSet(options.code);
    input.songNoText = parser.value(options.code);
    input.songName = parser.isSet(options.name);
    input.songNameText = parser.value(options.name);
    input.singer = parser.isSet(options.singer);
    input.singerText = parser.value(options.singer);

    invocation.showSql = parser.isSet(options.showSql);
    return invocation;
}

}  // namespace vaskord::cli
