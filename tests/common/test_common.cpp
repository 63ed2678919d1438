#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <stdexcept>

#include "common/Application.h"
#include "common/Pubs.h"
#include "tests/common/MessageBoxRecorder.h"

using namespace Qt::StringLiterals;
using vaskord::test::MessageBoxRecorder;

namespace {

enum class Thrown { Runtime, Abort, NotStd };

void throwKind(Thrown kind, const char* message) {
    switch (kind) {
        case Thrown::Runtime:
            throw std::runtime_error(message);
        case Thrown::Abort:
            throw vaskord::Abort();
        case Thrown::NotStd:
            throw 42;
    }
}

// An object whose event handler fails, as a handler that escaped runHandler would.
class FailingObject : public QObject {
public:
    int handled = 0;
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            ++handled;
            if (handled == 1) {
                throw std::runtime_error("第一次失败");
            }
            return true;
        }
        return QObject::event(event);
    }
};

}  // namespace

Q_DECLARE_METATYPE(Thrown)

class TestCommon : public QObject {
    Q_OBJECT

private slots:
    void promptKinds_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("flags");
        QTest::newRow("notice") << 0 << int(vaskord::IdOk) << 64;
        QTest::newRow("question answered no") << 4 << int(vaskord::IdNo) << 36;
        QTest::newRow("question answered yes") << 4 << int(vaskord::IdYes) << 36;
        QTest::newRow("own flags: error, OK") << 16 << int(vaskord::IdOk) << 16;
        QTest::newRow("own flags: warning, retry/cancel") << 53 << int(vaskord::IdCancel) << 53;
        QTest::newRow("own flags: yes/no/cancel, no icon") << 3 << int(vaskord::IdYes) << 3;
    }
    void promptKinds() {
        QFETCH(int, kind);
        QFETCH(int, answer);
        QFETCH(int, flags);
        MessageBoxRecorder recorder(answer);
        QCOMPARE(vaskord::ShowPrompt(u"歌曲列表为空,不能选择!"_s, kind), answer);
        QCOMPARE(recorder.boxes.size(), 1);
        QCOMPARE(recorder.boxes[0].caption, u"系统提示"_s);
        QCOMPARE(recorder.boxes[0].text, u"歌曲列表为空,不能选择!"_s);
        QCOMPARE(recorder.boxes[0].flags, flags);
    }

    // The box a person sees: its icon, its buttons in order, and what each returns.
    void messageBox_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QList<int>>("results");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("OK, information")
            << 64 << int(QMessageBox::Information) << QList<int>{1} << QStringList{u"确定"_s};
        QTest::newRow("OK/Cancel, error") << 17 << int(QMessageBox::Critical) << QList<int>{1, 2}
                                          << QStringList{u"确定"_s, u"取消"_s};
        QTest::newRow("Abort/Retry/Ignore, warning")
            << 50 << int(QMessageBox::Warning) << QList<int>{3, 4, 5}
            << QStringList{u"中止(&A)"_s, u"重试(&R)"_s, u"忽略(&I)"_s};
        QTest::newRow("Yes/No/Cancel, question")
            << 35 << int(QMessageBox::Question) << QList<int>{6, 7, 2}
            << QStringList{u"是(&Y)"_s, u"否(&N)"_s, u"取消"_s};
        QTest::newRow("Yes/No, question") << 36 << int(QMessageBox::Question) << QList<int>{6, 7}
                                          << QStringList{u"是(&Y)"_s, u"否(&N)"_s};
        QTest::newRow("Retry/Cancel, no icon") << 5 << int(QMessageBox::NoIcon) << QList<int>{4, 2}
                                               << QStringList{u"重试(&R)"_s, u"取消"_s};
    }
    void messageBox() {
        QFETCH(int, flags);
        QFETCH(int, icon);
        QFETCH(QList<int>, results);
        QFETCH(QStringList, texts);
        const auto box = vaskord::makeMessageBox(u"系统提示"_s, u"正文"_s, flags);
        QCOMPARE(box->windowTitle(), u"系统提示"_s);
        QCOMPARE(box->text(), u"正文"_s);
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        QCOMPARE(int(box->icon()), icon);
        QCOMPARE(box->buttons().size(), results.size());
        QCOMPARE(box->defaultButton()->text(), texts.first());
        for (qsizetype i = 0; i < results.size(); ++i) {
            QAbstractButton* button = nullptr;
            for (QAbstractButton* candidate : box->buttons()) {
                if (candidate->text() == texts[i]) {
                    button = candidate;
                }
            }
            QVERIFY2(button != nullptr, qPrintable(texts[i]));
            button->click();
            QCOMPARE(vaskord::messageBoxResult(*box), results[i]);
        }
    }

    void applicationTitle_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("title");
        QTest::newRow("plain") << u"vaskord"_s << u"vaskord"_s;
        QTest::newRow("mixed case with extension") << u"VasKord.bin"_s << u"Vaskord"_s;
        QTest::newRow("cut at the first dot") << u"VASKORD.tar.gz"_s << u"Vaskord"_s;
        QTest::newRow("non-ASCII first letter kept") << u"ÄBC.exe"_s << u"Äbc"_s;
        QTest::newRow("Chinese name") << u"歌库Clean.exe"_s << u"歌库clean"_s;
        QTest::newRow("starts with a dot") << u".Hidden"_s << u""_s;
    }
    void applicationTitle() {
        QFETCH(QString, fileName);
        QFETCH(QString, title);
        QCOMPARE(vaskord::applicationTitle(fileName), title);
    }

    void errorBoxText_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << u""_s << u""_s;
        QTest::newRow("letter") << u"abc"_s << u"abc."_s;
        QTest::newRow("Chinese") << u"无法打开歌库文件"_s << u"无法打开歌库文件."_s;
        QTest::newRow("Chinese full stop") << u"打开歌库失败:没有指定歌库文件的路径。"_s
                                           << u"打开歌库失败:没有指定歌库文件的路径。"_s;
        QTest::newRow("full-width exclamation")
            << u"请先选择歌库文件！"_s << u"请先选择歌库文件！"_s;
        QTest::newRow("full-width question") << u"歌库在哪里？"_s << u"歌库在哪里？"_s;
        QTest::newRow("full-width comma is no end") << u"歌库，"_s << u"歌库，."_s;
        QTest::newRow("full stop inside, not at the end") << u"结束。再来"_s << u"结束。再来."_s;
        QTest::newRow("dot") << u"abc."_s << u"abc."_s;
        QTest::newRow("slash sorts above") << u"a/b/"_s << u"a/b/."_s;
        QTest::newRow("exclamation") << u"abc!"_s << u"abc!"_s;
        QTest::newRow("parenthesis") << u"abc)"_s << u"abc)"_s;
        QTest::newRow("blank") << u"abc "_s << u"abc "_s;
        QTest::newRow("hyphen") << u"abc-"_s << u"abc-"_s;
        QTest::newRow("comma") << u"abc,"_s << u"abc,"_s;
        QTest::newRow("line feed") << u"abc\n"_s << u"abc\n"_s;
    }
    void errorBoxText() {
        QFETCH(QString, message);
        QFETCH(QString, text);
        QCOMPARE(vaskord::errorBoxText(message), text);
    }

    void handlerException_data() {
        QTest::addColumn<Thrown>("thrown");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTF-8 message") << Thrown::Runtime << u"表 Ok_Song 不存在."_s;
        QTest::newRow("abort is silent") << Thrown::Abort << QString();
        QTest::newRow("not a std::exception") << Thrown::NotStd << u"程序出现了未知错误."_s;
    }
    void handlerException() {
        QFETCH(Thrown, thrown);
        QFETCH(QString, text);
        MessageBoxRecorder recorder;
        int after = 0;
        vaskord::runHandler([&] { throwKind(thrown, "表 Ok_Song 不存在"); });
        vaskord::runHandler([&] { ++after; });
        QCOMPARE(after, 1);
        if (text.isNull()) {
            QVERIFY(recorder.boxes.isEmpty());
            return;
        }
        QCOMPARE(recorder.boxes.size(), 1);
        QCOMPARE(recorder.boxes[0].caption,
                 vaskord::applicationTitle(
                     QFileInfo(QCoreApplication::applicationFilePath()).fileName()));
        QCOMPARE(recorder.boxes[0].text, text);
        QCOMPARE(recorder.boxes[0].flags, vaskord::MbOk | vaskord::MbIconError);
    }

    // What escapes an event handler of its own is shown once, and the next
    // event is handled as usual.
    void eventHandlerException() {
        MessageBoxRecorder recorder;
        FailingObject object;
        QEvent first(QEvent::User);
        QCoreApplication::sendEvent(&object, &first);
        QEvent second(QEvent::User);
        QVERIFY(QCoreApplication::sendEvent(&object, &second));
        QCOMPARE(object.handled, 2);
        QCOMPARE(recorder.boxes.size(), 1);
        QCOMPARE(recorder.boxes[0].text, u"第一次失败."_s);
    }
};

int main(int argc, char** argv) {
    vaskord::Application app(argc, argv);
    TestCommon test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_common.moc"
