#pragma once

#include <QString>
#include <functional>
#include <memory>

class QAbstractButton;
class QMessageBox;

namespace vaskord {

// Flags of the application message box: buttons in the low four bits, the
// icon in the next four, as the operator's platform has always numbered them.
enum MessageBoxFlag : int {
    MbOk = 0,
    MbOkCancel = 1,
    MbAbortRetryIgnore = 2,
    MbYesNoCancel = 3,
    MbYesNo = 4,
    MbRetryCancel = 5,
    MbIconError = 16,
    MbIconQuestion = 32,
    MbIconWarning = 48,
    MbIconInformation = 64,
};

// The identifier of the button that closed a message box.
enum MessageBoxResult : int {
    IdOk = 1,
    IdCancel = 2,
    IdAbort = 3,
    IdRetry = 4,
    IdIgnore = 5,
    IdYes = 6,
    IdNo = 7,
};

inline constexpr char kPromptCaption[] = "系统提示";

// The flags ShowPrompt passes for a prompt kind: 0 is a notice, 4 a yes/no
// question, any other kind is taken as the caller's own flags.
int promptFlags(int kind);

// Shows the prompt box, modal to the whole application, and returns the
// identifier of the pressed button.
int ShowPrompt(const QString& text, int kind = 0);

// The application message box every prompt and error goes through. Tests put
// their own in place to answer without a person; the previous one is returned.
using MessageBoxFunction =
    std::function<int(const QString& caption, const QString& text, int flags)>;
MessageBoxFunction setMessageBoxFunction(MessageBoxFunction function);
int showMessageBox(const QString& caption, const QString& text, int flags);

// The box the default message box function runs, and the identifier of the
// button a person pressed on it (Cancel when it was closed without one).
std::unique_ptr<QMessageBox> makeMessageBox(const QString& caption, const QString& text, int flags);
int messageBoxResult(const QMessageBox& box);

}  // namespace vaskord
