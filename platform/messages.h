#pragma once
// The application's message boxes, raised from one place. Tests install a hook that records
// each box instead of showing it.

#include <functional>
#include <string>
#include <string_view>

namespace kv::messages {

enum class Kind { Error, Warning, Question };
enum class Answer { Ok, Yes, No };

// The standard error box: the failure's text and an OK button.
void showError(std::string_view text);
// A warning box with an OK button.
void showWarning(std::string_view text);
// A confirmation question with Yes and No.
Answer ask(std::string_view text);

// Replaces every box with a call of the hook (texts are Windows-1251); returns the previous hook.
// An empty hook restores the real boxes.
using Hook = std::function<Answer(Kind, const std::string&)>;
Hook setHook(Hook hook);

}  // namespace kv::messages
