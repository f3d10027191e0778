#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/support/scripted_user_interface.h"

namespace brindlecot::fuzz {

// A private copy of the shipped folder (language/, conf/) made once per process and set
// as the program's folder, so harnesses read catalogues and templates as the program does
// and never touch the source tree.
const std::string& FuzzAppFolder();

// Writes the input to `name` inside the fuzz folder and answers its path. Harnesses of
// readers that take a path go through a real file, as the program does.
std::string WriteInputFile(const std::string& name, const std::uint8_t* data, std::size_t size);

// The person: answers every question with the double's default and cancels every file
// choice. Harnesses clear its log after each input so a long run does not grow.
using QuietUserInterface = testing::ScriptedUserInterface;

}  // namespace brindlecot::fuzz
