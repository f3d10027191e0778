#include "base/message_catalogue.h"

#include "base/ini_file.h"

namespace brindlecot {
namespace {

constexpr std::string_view kSimplifiedCatalogue = "language/msgSimChi.ini";
constexpr std::string_view kTraditionalCatalogue = "language/msgTraChi.ini";

// Until start-up chooses, texts come from the simplified catalogue, the shipped default.
std::string& ChosenCatalogue() {
    static std::string name{kSimplifiedCatalogue};
    return name;
}

}  // namespace

void SelectMessageCatalogue() {
    const int mode = ReadIniInt("language", "mode", 0, "language/config.ini");
    ChosenCatalogue() = mode != 0 ? kTraditionalCatalogue : kSimplifiedCatalogue;
}

const std::string& MessageCatalogueName() {
    return ChosenCatalogue();
}

std::string LoadMessage(CatalogueKey key) {
    return LoadMessage(key.section, key.key);
}

std::string LoadMessage(std::string_view section, std::string_view key) {
    return ReadIniString(section, key, "", kMessageBufferSize, ChosenCatalogue());
}

}  // namespace brindlecot
