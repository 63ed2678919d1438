#include "common/Pubs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <utility>

using namespace Qt::StringLiterals;

namespace vaskord {

namespace {

const char* const kResultProperty = "vaskordResult";

int execMessageBox(const QString& caption, const QString& text, int flags) {
    const auto box = makeMessageBox(caption, text, flags);
    box->exec();
    return messageBoxResult(*box);
}

MessageBoxFunction& messageBoxFunction() {
    static MessageBoxFunction function = execMessageBox;
    return function;
}

struct ButtonChoice {
    int id;
    const char16_t* text;
    QMessageBox::ButtonRole role;
};

QList<ButtonChoice> buttonsFor(int flags) {
    const ButtonChoice ok{IdOk, u"确定", QMessageBox::AcceptRole};
    const ButtonChoice cancel{IdCancel, u"取消", QMessageBox::RejectRole};
    const ButtonChoice abort{IdAbort, u"中止(&A)", QMessageBox::RejectRole};
    const ButtonChoice retry{IdRetry, u"重试(&R)", QMessageBox::AcceptRole};
    const ButtonChoice ignore{IdIgnore, u"忽略(&I)", QMessageBox::AcceptRole};
    const ButtonChoice yes{IdYes, u"是(&Y)", QMessageBox::YesRole};
    const ButtonChoice no{IdNo, u"否(&N)", QMessageBox::NoRole};
    switch (flags & 0x0F) {
        case MbOkCancel:
            return {ok, cancel};
        case MbAbortRetryIgnore:
            return {abort, retry, ignore};
        case MbYesNoCancel:
            return {yes, no, cancel};
        case MbYesNo:
            return {yes, no};
        case MbRetryCancel:
            return {retry, cancel};
        default:
            return {ok};
    }
}

QMessageBox::Icon iconFor(int flags) {
    switch (flags & 0xF0) {
        case MbIconError:
            return QMessageBox::Critical;
        case MbIconQuestion:
            return QMessageBox::Question;
        case MbIconWarning:
            return QMessageBox::Warning;
        case MbIconInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

int promptFlags(int kind) {
    switch (kind) {
        case 0:
            return MbOk | MbIconInformation;
        case 4:
            return MbYesNo | MbIconQuestion;
        default:
            return kind;
    }
}

int ShowPrompt(const QString& text, int kind) {
    return showMessageBox(QString::fromUtf8(kPromptCaption), text, promptFlags(kind));
}

MessageBoxFunction setMessageBoxFunction(MessageBoxFunction function) {
    return std::exchange(messageBoxFunction(),
                         function ? std::move(function) : MessageBoxFunction(execMessageBox));
}

int showMessageBox(const QString& caption, const QString& text, int flags) {
    return messageBoxFunction()(caption, text, flags);
}

std::unique_ptr<QMessageBox> makeMessageBox(const QString& caption, const QString& text,
                                            int flags) {
    auto box = std::make_unique<QMessageBox>(QApplication::activeWindow());
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowTitle(caption);
    box->setText(text);
    box->setTextFormat(Qt::PlainText);
    box->setIcon(iconFor(flags));
    const QList<ButtonChoice> buttons = buttonsFor(flags);
    for (const ButtonChoice& choice : buttons) {
        QPushButton* button = box->addButton(QString::fromUtf16(choice.text), choice.role);
        button->setProperty(kResultProperty, choice.id);
        if (choice.id == buttons.constFirst().id) {
            box->setDefaultButton(button);
        }
        // A lone OK and any Cancel answer the Escape key and the close box.
        if (choice.id == IdCancel || buttons.size() == 1) {
            box->setEscapeButton(button);
        }
    }
    return box;
}

int messageBoxResult(const QMessageBox& box) {
    const QAbstractButton* clicked = box.clickedButton();
    return clicked ? clicked->property(kResultProperty).toInt() : int(IdCancel);
}

}  // namespace vaskord
