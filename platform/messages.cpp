#include "platform/messages.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/codec.h"

namespace kv::messages {
namespace {

Hook& currentHook() {
    static Hook hook;  // program-wide, like the boxes it stands in for
    return hook;
}

const QString kTitle = QStringLiteral("Кварнеля");

Answer raise(Kind kind, std::string_view text) {
    if (const Hook& hook = currentHook()) return hook(kind, std::string(text));
    const QString message = text::toQString(text);
    QWidget* parent = QApplication::activeWindow();
    switch (kind) {
    case Kind::Error:
        QMessageBox::critical(parent, kTitle, message, QMessageBox::Ok);
        return Answer::Ok;
    case Kind::Warning:
        QMessageBox::warning(parent, kTitle, message, QMessageBox::Ok);
        return Answer::Ok;
    case Kind::Question:
        return QMessageBox::question(parent, kTitle, message, QMessageBox::Yes | QMessageBox::No) ==
                       QMessageBox::Yes
                   ? Answer::Yes
                   : Answer::No;
    }
    return Answer::Ok;
}

}  // namespace

void showError(std::string_view text) {
    raise(Kind::Error, text);
}
void showWarning(std::string_view text) {
    raise(Kind::Warning, text);
}
Answer ask(std::string_view text) {
    return raise(Kind::Question, text);
}

Hook setHook(Hook hook) {
    Hook previous = std::move(currentHook());
    currentHook() = std::move(hook);
    return previous;
}

}  // namespace kv::messages
