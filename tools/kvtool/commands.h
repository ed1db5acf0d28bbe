#pragma once
// The subcommands of kvtool. Each takes the arguments after its name and returns the exit code.

#include <string>
#include <vector>

namespace kvtool {

using Args = std::vector<std::string>;

int Index(const Args& args);
int Tokens(const Args& args);
int Style(const Args& args);
int Gif(const Args& args);
int Image(const Args& args);

// Prints a Windows-1251 text as UTF-8 on standard output / error.
void Print(const std::string& text);
void PrintError(const std::string& text);

}  // namespace kvtool
